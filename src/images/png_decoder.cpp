#include "images/png_decoder.h"

#include <png.h>

#include <cstring>
#include <new>
#include <vector>

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

struct MemorySource {
    const unsigned char* data;
    std::size_t size;
    std::size_t pos;
};

void readFromMemory(png_structp png, png_bytep out, std::size_t count) {
    auto* source = static_cast<MemorySource*>(png_get_io_ptr(png));
    if (count > source->size - source->pos) png_error(png, "cut short");
    std::memcpy(out, source->data + source->pos, count);
    source->pos += count;
}

// Damaged files are refused without a word, as everywhere else.
void quietError(png_structp png, png_const_charp) { png_longjmp(png, 1); }
void quietWarning(png_structp, png_const_charp) {}

class PngReadStruct {
public:
    PngReadStruct()
        : png_(png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, quietError, quietWarning)),
          info_(png_ ? png_create_info_struct(png_) : nullptr) {}
    ~PngReadStruct() {
        if (png_) png_destroy_read_struct(&png_, info_ ? &info_ : nullptr, nullptr);
    }
    PngReadStruct(const PngReadStruct&) = delete;
    PngReadStruct& operator=(const PngReadStruct&) = delete;

    png_structp png() const { return png_; }
    png_infop info() const { return info_; }

private:
    png_structp png_;
    png_infop info_;
};

// The transforms the simplified reader chooses for 8-bit RGB output over a
// black background from a file taken as sRGB, so that both paths give the
// same pixels.
void requestEightBitRgb(png_structp png, png_infop info) {
    png_set_expand(png);
    if ((png_get_color_type(png, info) & PNG_COLOR_MASK_COLOR) == 0) png_set_gray_to_rgb(png);
    png_set_alpha_mode_fixed(png, PNG_ALPHA_PNG, PNG_DEFAULT_sRGB);
    png_set_scale_16(png);
    if ((png_get_color_type(png, info) & PNG_COLOR_MASK_ALPHA) != 0 ||
        png_get_valid(png, info, PNG_INFO_tRNS) != 0) {
        png_color_16 black{};
        png_set_background_fixed(png, &black, PNG_BACKGROUND_GAMMA_SCREEN, 0, 0);
    }
    png_set_alpha_mode_fixed(png, PNG_ALPHA_PNG, PNG_DEFAULT_sRGB);
}

// Everything between setjmp and a libpng error is plain data: the error
// unwinds past no destructor. `rows` point into `image`, top row first.
bool readRows(png_structp png, png_infop info, MemorySource& source, const RGBImage& image,
              png_bytep* rows) {
    if (setjmp(png_jmpbuf(png))) return false;
    png_set_benign_errors(png, 1);
    png_set_read_fn(png, &source, readFromMemory);
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
    std::vector<png_bytep> rows(static_cast<std::size_t>(image.height));
    for (int y = 0; y < image.height; ++y) rows[static_cast<std::size_t>(y)] = image.row(image.height - 1 - y);
    MemorySource source{data, size, 0};
    return readRows(reader.png(), reader.info(), source, image, rows.data());
}

bool sixteenBitInterlaced(const unsigned char* data, std::size_t size) {
    return size > kInterlaceAt && data[kBitDepthAt] == 16 && data[kInterlaceAt] != 0;
}

}  // namespace

bool isPng(const unsigned char* data, std::size_t size) {
    return size >= kSignatureBytes && png_sig_cmp(data, 0, kSignatureBytes) == 0;
}

std::unique_ptr<RGBImage> decodePng(const unsigned char* data, std::size_t size) {
    if (!isPng(data, size)) return nullptr;
    PngReader reader;
    png_image& image = reader.image();
    if (!png_image_begin_read_from_memory(&image, data, size)) return nullptr;

    // The header alone decides whether the picture may be held; the buffer
    // is only allocated afterwards.
    auto result = makeRGBImage(image.width, image.height);
    if (!result) return nullptr;

    // The header has been read, so the file starts with a whole IHDR chunk.
    if (sixteenBitInterlaced(data, size)) return decodeRowByRow(data, size, *result) ? std::move(result) : nullptr;

    // Most 16-bit files without gamma information are sRGB photographs, not
    // linear data as libpng would otherwise assume.
    image.flags |= PNG_IMAGE_FLAG_16BIT_sRGB;
    image.format = PNG_FORMAT_RGB;
    png_color black{0, 0, 0};
    // A negative stride makes libpng write the top row at the buffer's end.
    const png_int_32 stride = -static_cast<png_int_32>(PNG_IMAGE_ROW_STRIDE(image));
    if (!png_image_finish_read(&image, &black, result->pixels, stride, nullptr)) return nullptr;
    return result;
}
