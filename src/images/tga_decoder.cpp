#include "images/tga_decoder.h"

#include <cstdint>

#include "images/byte_order.h"
#include "images/stb_decoder.h"
#include "images/tiff_signature.h"

namespace {

constexpr std::size_t kHeaderSize = 18;

struct TgaHeader {
    unsigned idLength;
    unsigned mapType;
    unsigned imageType;
    unsigned mapLength;
    unsigned mapDepth;
    unsigned width;
    unsigned height;
    unsigned depth;
    unsigned descriptor;

    bool runLength() const { return imageType >= 9; }
    unsigned baseType() const { return imageType & 7; }  // 1 mapped, 2 true colour, 3 grey
};

TgaHeader readHeader(const unsigned char* d) {
    return {d[0], d[1], d[2], readLE16(d + 5), d[7], readLE16(d + 12), readLE16(d + 14), d[16],
            d[17]};
}

bool validDepth(unsigned depth) { return depth == 15 || depth == 16 || depth == 24 || depth == 32; }

bool headerConsistent(const TgaHeader& h) {
    if (h.mapType > 1 || h.width == 0 || h.height == 0) return false;
    if (h.descriptor & 0xC0) return false;  // interleaved storage, never written in practice
    if (h.imageType != 1 && h.imageType != 2 && h.imageType != 3 && h.imageType != 9 &&
        h.imageType != 10 && h.imageType != 11)
        return false;
    if (h.mapType == 1 && (h.mapLength == 0 || !validDepth(h.mapDepth))) return false;
    switch (h.baseType()) {
        case 1: return h.mapType == 1 && (h.depth == 8 || h.depth == 16);
        case 2: return validDepth(h.depth);
        default: return h.depth == 8 || h.depth == 16;
    }
}

// stb fills missing bytes with zeros; walks the pixel data (the packet
// headers of run-length files) to make sure it is all there.
bool pixelDataComplete(const TgaHeader& h, const unsigned char* data, std::size_t size) {
    std::uint64_t pos = kHeaderSize + h.idLength;
    if (h.mapType == 1) pos += static_cast<std::uint64_t>(h.mapLength) * ((h.mapDepth + 7) / 8);
    const std::uint64_t pixelBytes = (h.depth + 7) / 8;
    const std::uint64_t pixels = static_cast<std::uint64_t>(h.width) * h.height;
    if (!h.runLength()) return pos + pixels * pixelBytes <= size;
    for (std::uint64_t done = 0; done < pixels;) {
        if (pos >= size) return false;
        const unsigned packet = data[pos++];
        const std::uint64_t count = (packet & 0x7F) + 1u;
        pos += (packet & 0x80) ? pixelBytes : count * pixelBytes;
        done += count;
    }
    return pos <= size;
}

}  // namespace

bool isTga(const unsigned char* data, std::size_t size) {
    if (size < kHeaderSize || isTiffSignature(data, size)) return false;
    return headerConsistent(readHeader(data));
}

std::unique_ptr<RGBImage> decodeTga(const unsigned char* data, std::size_t size) {
    if (!isTga(data, size)) return nullptr;
    const TgaHeader h = readHeader(data);
    if (!pixelDataComplete(h, data, size)) return nullptr;
    return decodeWithStb(data, size);
}
