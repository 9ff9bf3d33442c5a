#include "images/png_decoder.h"

#include <png.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>

#include "images/exif_orientation.h"
#include "images/over_black.h"
#include "images/png_deep_reader.h"
#include "images/png_read_struct.h"

namespace {

constexpr std::size_t kSignatureBytes = 8;
// Offsets in the IHDR chunk, which a PNG file must start with.
constexpr std::size_t kBitDepthAt = 24;
constexpr std::size_t kInterlaceAt = 28;

// Owns the reader state behind a png_image; png_image_free is safe to call
// after success, after failure and more than once.
class PngReader {
public:
    PngReader() {
        std::memset(&image_, 0, sizeof image_);
        image_.version = PNG_IMAGE_VERSION;
    }
    ~PngReader() { png_image_free(&image_); }
    PngReader(const PngReader&) = delete;
    PngReader& operator=(const PngReader&) = delete;

    png_image& image() { return image_; }

private:
    png_image image_;
};

// ---- Row-by-row reading, for the files the simplified reader gets wrong --

// Working buffers come from malloc, like the picture's own: a size the
// picture's buffer allowed may still be refused here, and that refuses the
// file instead of throwing.
struct FreeDeleter {
    void operator()(void* p) const { std::free(p); }
};
template <typename T>
std::unique_ptr<T[], FreeDeleter> allocate(std::size_t count) {
    return std::unique_ptr<T[], FreeDeleter>(static_cast<T*>(std::malloc(count * sizeof(T))));
}

// The transforms the simplified reader chooses for 8-bit RGB output from a
// file taken as sRGB, so that both paths give the same pixels.
void requestEightBitRgb(png_structp png, png_infop info) {
    png_set_expand(png);
    if ((png_get_color_type(png, info) & PNG_COLOR_MASK_COLOR) == 0) png_set_gray_to_rgb(png);
    png_set_alpha_mode_fixed(png, PNG_ALPHA_PNG, PNG_DEFAULT_sRGB);
    png_set_scale_16(png);
}

// Everything between setjmp and a libpng error is plain data: the error
// unwinds past no destructor. `rows` point into `image`, top row first.
bool readRows(png_structp png, png_infop info, PngMemorySource& source, const RGBImage& image,
              png_bytep* rows) {
    if (setjmp(png_jmpbuf(png))) return false;
    png_set_benign_errors(png, 1);
    png_set_read_fn(png, &source, readPngFromMemory);
    png_read_info(png, info);
    if (png_get_image_width(png, info) != static_cast<png_uint_32>(image.width) ||
        png_get_image_height(png, info) != static_cast<png_uint_32>(image.height))
        return false;
    requestEightBitRgb(png, info);
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
    if (png_get_rowbytes(png, info) != static_cast<std::size_t>(image.width) * 3) return false;
    png_read_image(png, rows);
    return true;
}

// The simplified reader shifts and repeats rows of 16-bit interlaced files
// in the libpng this is built with; the classic row interface reads them
// right.
bool decodeRowByRow(const unsigned char* data, std::size_t size, RGBImage& image) {
    PngReadStruct reader;
    if (!reader.png() || !reader.info()) return false;
    auto rows = allocate<png_bytep>(static_cast<std::size_t>(image.height));
    if (!rows) return false;
    for (int y = 0; y < image.height; ++y) rows[static_cast<std::size_t>(y)] = image.row(image.height - 1 - y);
    PngMemorySource source{data, size, 0};
    return readRows(reader.png(), reader.info(), source, image, rows.get());
}

// ---- Alpha: composited over black in the file's own encoded values -----

// Browsers and viewers multiply each stored (gamma-encoded) value by its
// alpha; the simplified reader composites in linear light instead, which
// makes translucent areas much brighter.
void compositeRow(const png_byte* rgba, int width, unsigned char* out) {
    for (int x = 0; x < width; ++x, rgba += 4, out += 3) {
        const unsigned a = rgba[3];
        for (int c = 0; c < 3; ++c) out[c] = static_cast<unsigned char>((rgba[c] * a + 127u) / 255u);
    }
}

// An interlaced file's seven passes, read as they are stored (without
// libpng's interlace handling, which would need the whole RGBA picture):
// every pixel comes in exactly one pass and is composited straight into
// its place, through one row of `rgba`. Empty passes are not stored.
void readPassesOverBlack(png_structp png, RGBImage& image, png_byte* rgba) {
    const auto width = static_cast<png_uint_32>(image.width);
    const auto height = static_cast<png_uint_32>(image.height);
    for (int pass = 0; pass < 7; ++pass) {
        const png_uint_32 columns = PNG_PASS_COLS(width, pass);
        const png_uint_32 rows = PNG_PASS_ROWS(height, pass);
        if (columns == 0 || rows == 0) continue;
        for (png_uint_32 r = 0; r < rows; ++r) {
            png_read_row(png, rgba, nullptr);
            const png_uint_32 y = PNG_ROW_FROM_PASS_ROW(r, pass);
            unsigned char* out = image.row(static_cast<int>(height - 1 - y));
            const png_byte* in = rgba;
            for (png_uint_32 c = 0; c < columns; ++c, in += 4) {
                unsigned char* pixel = out + static_cast<std::size_t>(PNG_COL_FROM_PASS_COL(c, pass)) * 3;
                for (int k = 0; k < 3; ++k) pixel[k] = overBlack(in[k], in[3]);
            }
        }
    }
}

// Read a row at a time into `rgba` (one row), straight files in order and
// interlaced ones pass by pass. Plain data only between setjmp and a libpng
// error, as above.
bool readAlphaRows(png_structp png, png_infop info, PngMemorySource& source, RGBImage& image,
                   png_byte* rgba, bool interlaced) {
    if (setjmp(png_jmpbuf(png))) return false;
    png_set_benign_errors(png, 1);
    png_set_read_fn(png, &source, readPngFromMemory);
    png_read_info(png, info);
    if (png_get_image_width(png, info) != static_cast<png_uint_32>(image.width) ||
        png_get_image_height(png, info) != static_cast<png_uint_32>(image.height) ||
        (png_get_interlace_type(png, info) != PNG_INTERLACE_NONE) != interlaced)
        return false;
    // Palette and tRNS become an alpha channel; the file's gAMA still turns
    // its colours into sRGB, as for opaque files.
    requestEightBitRgb(png, info);
    png_set_add_alpha(png, 0xFF, PNG_FILLER_AFTER);
    png_read_update_info(png, info);
    const std::size_t rowBytes = static_cast<std::size_t>(image.width) * 4;
    if (png_get_rowbytes(png, info) != rowBytes) return false;
    if (interlaced) {
        readPassesOverBlack(png, image, rgba);
    } else {
        for (int y = 0; y < image.height; ++y) {
            png_read_row(png, rgba, nullptr);
            compositeRow(rgba, image.width, image.row(image.height - 1 - y));
        }
    }
    return true;
}

bool decodeWithAlpha(const unsigned char* data, std::size_t size, RGBImage& image, bool interlaced) {
    PngReadStruct reader;
    if (!reader.png() || !reader.info()) return false;
    auto rgba = allocate<png_byte>(static_cast<std::size_t>(image.width) * 4);
    if (!rgba) return false;
    PngMemorySource source{data, size, 0};
    return readAlphaRows(reader.png(), reader.info(), source, image, rgba.get(), interlaced);
}

bool sixteenBitInterlaced(const unsigned char* data, std::size_t size) {
    return size > kInterlaceAt && data[kBitDepthAt] == 16 && data[kInterlaceAt] != 0;
}

}  // namespace

bool isPng(const unsigned char* data, std::size_t size) {
    return size >= kSignatureBytes && png_sig_cmp(data, 0, kSignatureBytes) == 0;
}

namespace {

std::unique_ptr<RGBImage> decodeStored(const unsigned char* data, std::size_t size) {
    PngReader reader;
    png_image& image = reader.image();
    if (!png_image_begin_read_from_memory(&image, data, size)) return nullptr;

    // The header alone decides whether the picture may be held; the buffer
    // is only allocated afterwards.
    auto result = makeRGBImage(image.width, image.height);
    if (!result) return nullptr;

    // The header has been read, so the file starts with a whole IHDR chunk.
    const bool interlaced = size > kInterlaceAt && data[kInterlaceAt] != 0;
    // 16-bit samples keep their precision through the gamma step.
    if (isDeepPng(data, size)) return decodeDeepPng(data, size, *result) ? std::move(result) : nullptr;
    if ((image.format & PNG_FORMAT_FLAG_ALPHA) != 0)
        return decodeWithAlpha(data, size, *result, interlaced) ? std::move(result) : nullptr;
    if (sixteenBitInterlaced(data, size)) return decodeRowByRow(data, size, *result) ? std::move(result) : nullptr;

    // Most 16-bit files without gamma information are sRGB photographs, not
    // linear data as libpng would otherwise assume.
    image.flags |= PNG_IMAGE_FLAG_16BIT_sRGB;
    image.format = PNG_FORMAT_RGB;
    // A negative stride makes libpng write the top row at the buffer's end.
    const png_int_32 stride = -static_cast<png_int_32>(PNG_IMAGE_ROW_STRIDE(image));
    if (!png_image_finish_read(&image, nullptr, result->pixels, stride, nullptr)) return nullptr;
    return result;
}

}  // namespace

std::unique_ptr<RGBImage> decodePng(const unsigned char* data, std::size_t size) {
    return decodePngFor(data, size, PictureNeed{});
}

std::unique_ptr<RGBImage> decodePngFor(const unsigned char* data, std::size_t size,
                                       const PictureNeed& need) {
    if (!isPng(data, size)) return nullptr;
    // Phones and editors say in an eXIf chunk which way up the picture is,
    // as in a JPEG's EXIF block.
    return orientImageFor(decodeStored(data, size), pngExifOrientation(data, size), need);
}
