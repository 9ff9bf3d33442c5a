#include "images/rgb_image.h"

#include "images/pixel_buffer_pool.h"

RGBImage::~RGBImage() { PixelBufferPool::instance().give(pixels); }

bool imageSizeAcceptable(std::int64_t width, std::int64_t height) {
    if (width <= 0 || height <= 0) return false;
    if (width > kMaxImagePixels || height > kMaxImagePixels) return false;
    return width * height <= kMaxImagePixels;
}

std::unique_ptr<RGBImage> makeRGBImage(std::int64_t width, std::int64_t height) {
    return makeRGBImageWithRoom(width, height, 3);
}

std::unique_ptr<RGBImage> makeRGBImageWithRoom(std::int64_t width, std::int64_t height,
                                               int bytesPerPixel) {
    if (!imageSizeAcceptable(width, height) || bytesPerPixel < 3 || bytesPerPixel > 16)
        return nullptr;
    auto image = std::make_unique<RGBImage>();
    image->pixels = PixelBufferPool::instance().take(
        static_cast<std::size_t>(width * height * bytesPerPixel));
    if (!image->pixels) return nullptr;
    image->width = static_cast<std::int32_t>(width);
    image->height = static_cast<std::int32_t>(height);
    return image;
}
