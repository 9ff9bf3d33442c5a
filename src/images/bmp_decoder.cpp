#include "images/bmp_decoder.h"

#include <cstdint>

#include "images/bmp_rle_decoder.h"
#include "images/byte_order.h"
#include "images/stb_decoder.h"

namespace {

constexpr std::size_t kFileHeaderSize = 14;
constexpr std::uint32_t kCoreHeaderSize = 12;  // OS/2 1.x: 16-bit sizes
constexpr std::uint32_t kUncompressed = 0;
constexpr std::uint32_t kBitFields = 3;
constexpr std::uint32_t kAlphaBitFields = 6;

// stb fills missing bytes with zeros, so a file cut short would come out
// with a black band; the pixel array must be complete instead.
bool pixelDataComplete(const unsigned char* data, std::size_t size) {
    const std::uint32_t offset = readLE32(data + 10);
    const std::uint32_t headerSize = readLE32(data + 14);
    std::int64_t width, height;
    unsigned bitsPerPixel;
    std::uint32_t compression = kUncompressed;
    if (headerSize == kCoreHeaderSize) {
        if (size < kFileHeaderSize + kCoreHeaderSize) return false;
        width = readLE16(data + 18);
        height = readLE16(data + 20);
        bitsPerPixel = readLE16(data + 24);
    } else {
        if (size < kFileHeaderSize + 20) return false;
        width = static_cast<std::int32_t>(readLE32(data + 18));
        height = static_cast<std::int32_t>(readLE32(data + 22));
        bitsPerPixel = readLE16(data + 28);
        compression = readLE32(data + 30);
    }
    if (height < 0) height = -height;  // top-down file
    if (width <= 0 || height <= 0 || bitsPerPixel == 0 || bitsPerPixel > 32) return false;
    if (compression != kUncompressed && compression != kBitFields &&
        compression != kAlphaBitFields)
        return false;  // embedded JPEG/PNG are not read
    const std::int64_t stride = (width * bitsPerPixel + 31) / 32 * 4;
    if (height > static_cast<std::int64_t>(size) / stride) return false;
    return offset <= size && static_cast<std::uint64_t>(stride * height) <= size - offset;
}

}  // namespace

bool isBmp(const unsigned char* data, std::size_t size) {
    return size >= kFileHeaderSize + 4 && data[0] == 'B' && data[1] == 'M';
}

std::unique_ptr<RGBImage> decodeBmp(const unsigned char* data, std::size_t size) {
    if (!isBmp(data, size)) return nullptr;
    // Paint programs write every 8-bit palette file with RLE8, and old
    // wallpapers are RLE4; stb reads neither.
    if (isRunLengthBmp(data, size)) return decodeRunLengthBmp(data, size);
    if (!pixelDataComplete(data, size)) return nullptr;
    return decodeWithStb(data, size);
}
