#include "images/png_deep_reader.h"

#include <png.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "images/byte_order.h"
#include "images/png_read_struct.h"

namespace {

constexpr std::size_t kBitDepthAt = 24;
constexpr std::uint64_t kMaxInterlacedBytes = std::uint64_t{256} << 20;

struct FreeDeleter {
    void operator()(void* p) const { std::free(p); }
};

// 16-bit RGBA in the machine's order to 8-bit RGB over black, rounded once.
void compositeDeepRow(const std::uint16_t* rgba, int width, unsigned char* out) {
    constexpr std::uint64_t kScale = std::uint64_t{65535} * 65535;
    for (int x = 0; x < width; ++x, rgba += 4, out += 3) {
        const std::uint64_t a = rgba[3];
        for (int c = 0; c < 3; ++c)
            out[c] = static_cast<unsigned char>((std::uint64_t{rgba[c]} * a * 255 + kScale / 2) / kScale);
    }
}

// Plain data only between setjmp and a libpng error: the error unwinds past
// no destructor. `rows` hold the whole picture for interlaced files (later
// passes fill in earlier rows), one row otherwise.
bool readDeepRows(png_structp png, png_infop info, PngMemorySource& source, RGBImage& image,
                  std::uint16_t* pixels, png_bytep* rows) {
    if (setjmp(png_jmpbuf(png))) return false;
    png_set_benign_errors(png, 1);
    png_set_read_fn(png, &source, readPngFromMemory);
    png_read_info(png, info);
    if (png_get_image_width(png, info) != static_cast<png_uint_32>(image.width) ||
        png_get_image_height(png, info) != static_cast<png_uint_32>(image.height) ||
        png_get_bit_depth(png, info) != 16)
        return false;
    const bool interlaced = png_get_interlace_type(png, info) != PNG_INTERLACE_NONE;
    png_set_expand(png);
    if ((png_get_color_type(png, info) & PNG_COLOR_MASK_COLOR) == 0) png_set_gray_to_rgb(png);
    // The colours to the display's encoding (sRGB when the file says
    // nothing), alpha left as it is.
    png_set_alpha_mode_fixed(png, PNG_ALPHA_PNG, PNG_DEFAULT_sRGB);
    png_set_add_alpha(png, 0xFFFF, PNG_FILLER_AFTER);
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__ || defined(_WIN32)
    png_set_swap(png);
#endif
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
    const std::size_t rowBytes = static_cast<std::size_t>(image.width) * 8;
    if (png_get_rowbytes(png, info) != rowBytes) return false;
    const std::size_t rowSamples = static_cast<std::size_t>(image.width) * 4;
    if (interlaced) {
        png_read_image(png, rows);
        for (int y = 0; y < image.height; ++y)
            compositeDeepRow(pixels + static_cast<std::size_t>(y) * rowSamples, image.width,
                             image.row(image.height - 1 - y));
    } else {
        for (int y = 0; y < image.height; ++y) {
            png_read_row(png, rows[0], nullptr);
            compositeDeepRow(pixels, image.width, image.row(image.height - 1 - y));
        }
    }
    return true;
}

}  // namespace

bool isDeepPng(const unsigned char* data, std::size_t size) {
    if (size <= 28 || data[kBitDepthAt] != 16) return false;
    if (data[28] == 0) return true;
    // An interlaced file is held whole at 8 bytes a pixel before it is
    // composited; past the bound it is read at 8 bits instead.
    const std::uint64_t width = readBE32(data + 16), height = readBE32(data + 20);
    return width * height * 8 <= kMaxInterlacedBytes;
}

bool decodeDeepPng(const unsigned char* data, std::size_t size, RGBImage& image) {
    PngReadStruct reader;
    if (!reader.png() || !reader.info()) return false;
    const bool interlaced = size > 28 && data[28] != 0;
    const auto height = static_cast<std::size_t>(image.height);
    const std::size_t rowSamples = static_cast<std::size_t>(image.width) * 4;
    const std::size_t rowsHeld = interlaced ? height : 1;
    std::unique_ptr<std::uint16_t[], FreeDeleter> pixels(
        static_cast<std::uint16_t*>(std::malloc(rowSamples * rowsHeld * sizeof(std::uint16_t))));
    std::unique_ptr<png_bytep[], FreeDeleter> rows(static_cast<png_bytep*>(std::malloc(rowsHeld * sizeof(png_bytep))));
    if (!pixels || !rows) return false;
    for (std::size_t y = 0; y < rowsHeld; ++y) rows[y] = reinterpret_cast<png_bytep>(pixels.get() + y * rowSamples);
    PngMemorySource source{data, size, 0};
    return readDeepRows(reader.png(), reader.info(), source, image, pixels.get(), rows.get());
}
