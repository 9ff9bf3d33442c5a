#include "images/png_decoder.h"

#include <png.h>

#include <cstring>

namespace {

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

}  // namespace

bool isPng(const unsigned char* data, std::size_t size) {
    return size >= 8 && png_sig_cmp(data, 0, 8) == 0;
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
