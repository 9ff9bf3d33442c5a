#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// A decoded picture: packed 8-bit R, G, B rows with no padding, the bottom
// row of the picture first. The pixel buffer comes from malloc and goes with
// the record; whoever holds the unique_ptr owns both. A large buffer made by
// makeRGBImage is handed on to a later picture (PixelBufferPool) instead of
// being freed, which changes nothing for the owner.
struct RGBImage {
    std::int32_t width = 0;
    std::int32_t height = 0;
    unsigned char* pixels = nullptr;
    // The picture files it shows (two for a pair, none for a checkerboard),
    // for the provider to be told when it first appears.
    std::vector<std::string> files;

    RGBImage() = default;
    ~RGBImage();
    RGBImage(const RGBImage&) = delete;
    RGBImage& operator=(const RGBImage&) = delete;

    // Start of buffer row `y` (0 is the bottom row).
    unsigned char* row(int y) { return pixels + static_cast<std::size_t>(y) * width * 3; }
    const unsigned char* row(int y) const {
        return pixels + static_cast<std::size_t>(y) * width * 3;
    }
};

// The largest picture the saver accepts: 2^28 pixels (768 MiB of RGB).
// Anything larger is refused before any allocation.
constexpr std::int64_t kMaxImagePixels = std::int64_t{1} << 28;

// True when a width x height picture can be held: both sides positive and
// at most kMaxImagePixels pixels in all.
bool imageSizeAcceptable(std::int64_t width, std::int64_t height);

// A new picture with an uninitialised buffer of width x height x 3 bytes
// (possibly holding an earlier picture's pixels), or null when the size is
// not acceptable or memory is short.
std::unique_ptr<RGBImage> makeRGBImage(std::int64_t width, std::int64_t height);

// The same, with a buffer of room for width x height x bytesPerPixel bytes
// (at least 3), for a decoder that unpacks wider pixels in place and then
// packs them to RGB where they lie.
std::unique_ptr<RGBImage> makeRGBImageWithRoom(std::int64_t width, std::int64_t height,
                                               int bytesPerPixel);
