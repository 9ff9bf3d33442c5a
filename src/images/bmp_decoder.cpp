#include "images/bmp_decoder.h"

#include <bit>
#include <cstdint>
#include <cstring>

#include "images/bmp_rle_decoder.h"
#include "images/byte_order.h"

namespace {

constexpr std::size_t kFileHeaderSize = 14;
// Header sizes: OS/2 1.x keeps 16-bit sizes and 3-byte palette entries;
// OS/2 2.x (16 to 64 bytes) starts like Windows' 40-byte header but gives
// compression 3 another meaning; Windows' later headers (52, 56, 108, 124)
// carry the bit-field masks themselves.
constexpr std::uint32_t kCoreHeaderSize = 12;
constexpr std::uint32_t kOs2ShortHeaderSize = 16;
constexpr std::uint32_t kInfoHeaderSize = 40;
constexpr std::uint32_t kOs2HeaderSize = 64;
constexpr std::uint32_t kAlphaMaskHeaderSize = 56;
constexpr std::uint32_t kRgbMaskHeaderSize = 52;

constexpr std::uint32_t kUncompressed = 0;
constexpr std::uint32_t kBitFields = 3;
constexpr std::uint32_t kAlphaBitFields = 6;

// One colour channel of a bit-field pixel: the mask's position and width.
struct Channel {
    std::uint32_t mask = 0;
    unsigned shift = 0;
    unsigned bits = 0;

    static Channel of(std::uint32_t mask) {
        Channel c;
        c.mask = mask;
        if (mask == 0) return c;
        c.shift = static_cast<unsigned>(std::countr_zero(mask));
        c.bits = static_cast<unsigned>(std::bit_width(mask >> c.shift));
        return c;
    }
    // The channel as an 8-bit level: wide fields keep their top bits,
    // narrow ones are stretched so that all ones is 255.
    unsigned level(std::uint32_t pixel) const {
        if (bits == 0) return 0;
        const std::uint32_t v = (pixel & mask) >> shift;
        if (bits >= 8) return v >> (bits - 8);
        const std::uint32_t most = (1u << bits) - 1;
        return (v * 255u + most / 2) / most;
    }
};

struct BmpLayout {
    std::int64_t width = 0;
    std::int64_t height = 0;  // positive; see topDown
    bool topDown = false;
    unsigned bitsPerPixel = 0;
    bool bitFields = false;     // pixels of 16 or 32 bits read through masks
    Channel red, green, blue, alpha;
    std::uint64_t paletteAt = 0;
    std::uint32_t paletteEntryBytes = 4;
    std::uint32_t colours = 0;  // palette entries usable
    std::uint64_t pixelsAt = 0;
};

std::uint32_t maskAt(const unsigned char* data, std::size_t size, std::uint64_t at) {
    return at + 4 <= size ? readLE32(data + at) : 0;
}

bool readLayout(const unsigned char* data, std::size_t size, BmpLayout& b) {
    const std::uint32_t headerSize = readLE32(data + 14);
    const bool core = headerSize == kCoreHeaderSize;
    const bool os2 = headerSize == kOs2ShortHeaderSize || headerSize == kOs2HeaderSize;
    if (!core && !os2 && headerSize < kInfoHeaderSize) return false;
    const std::uint64_t headerEnd = kFileHeaderSize + std::uint64_t{headerSize};
    if (headerEnd > size || (core ? 26u : 30u) > size) return false;

    std::uint32_t compression = kUncompressed;
    std::uint32_t coloursUsed = 0;
    if (core) {
        b.width = readLE16(data + 18);
        b.height = readLE16(data + 20);
        b.bitsPerPixel = readLE16(data + 24);
        b.paletteEntryBytes = 3;
    } else {
        b.width = static_cast<std::int32_t>(readLE32(data + 18));
        b.height = static_cast<std::int32_t>(readLE32(data + 22));
        b.bitsPerPixel = readLE16(data + 28);
        // A short OS/2 2.x header leaves the rest out: zero.
        if (headerSize >= 20) compression = readLE32(data + 30);
        if (headerSize >= 36) coloursUsed = readLE32(data + 46);
    }
    if (b.height < 0) {
        b.height = -b.height;
        b.topDown = true;
    }
    if (b.width <= 0 || b.height <= 0) return false;

    std::uint64_t paletteAt = headerEnd;
    const unsigned bits = b.bitsPerPixel;
    if (compression == kUncompressed) {
        if (bits != 1 && bits != 2 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32)
            return false;
        if (bits == 16) {
            b.bitFields = true;  // 5 bits each, the top bit unused
            b.red = Channel::of(0x7C00);
            b.green = Channel::of(0x03E0);
            b.blue = Channel::of(0x001F);
        }
    } else if (!os2 && (compression == kBitFields || compression == kAlphaBitFields) &&
               (bits == 16 || bits == 32)) {
        // For OS/2 2.x compression 3 is Huffman coding, which is not read.
        b.bitFields = true;
        std::uint64_t masksAt = kFileHeaderSize + kInfoHeaderSize;
        const unsigned maskCount = compression == kAlphaBitFields ? 4 : 3;
        // The 40-byte header is followed by the masks; longer headers hold them.
        if (headerSize == kInfoHeaderSize) paletteAt += 4u * maskCount;
        b.red = Channel::of(maskAt(data, size, masksAt));
        b.green = Channel::of(maskAt(data, size, masksAt + 4));
        b.blue = Channel::of(maskAt(data, size, masksAt + 8));
        if (compression == kAlphaBitFields || headerSize >= kAlphaMaskHeaderSize)
            b.alpha = Channel::of(maskAt(data, size, masksAt + 12));
        if (headerSize != kInfoHeaderSize && headerSize < kRgbMaskHeaderSize) return false;
    } else {
        return false;  // run-length data is read elsewhere; embedded JPEG or PNG is not read
    }

    // The pixel array is where the file header says, whatever lies between
    // (a palette a true-colour file does not need, a gap, a colour profile).
    const std::uint32_t offset = readLE32(data + 10);
    b.paletteAt = paletteAt;
    if (bits <= 8) {
        const std::uint32_t most = 1u << bits;
        std::uint32_t colours = coloursUsed == 0 || coloursUsed > most ? most : coloursUsed;
        // A palette that would run into the pixels is shorter than it says:
        // OS/2 1.x files, which cannot say, often store fewer entries.
        if (offset >= paletteAt) {
            const std::uint64_t room = (offset - paletteAt) / b.paletteEntryBytes;
            if (room < colours) colours = static_cast<std::uint32_t>(room);
        }
        const std::uint64_t paletteEnd = paletteAt + std::uint64_t{colours} * b.paletteEntryBytes;
        if (paletteEnd > size) return false;
        b.colours = colours;
        // An offset inside the headers cannot be right; the pixels then
        // follow the palette.
        b.pixelsAt = offset >= paletteAt ? offset : paletteEnd;
    } else {
        b.pixelsAt = offset >= paletteAt ? offset : paletteAt;
    }
    return true;
}

std::uint64_t strideOf(const BmpLayout& b) {
    return (static_cast<std::uint64_t>(b.width) * b.bitsPerPixel + 31) / 32 * 4;
}

// Every row must be there; only the padding of the last one may be missing,
// as some writers leave it out.
bool pixelsComplete(const BmpLayout& b, std::size_t size) {
    const std::uint64_t stride = strideOf(b);
    const std::uint64_t lastRow = (static_cast<std::uint64_t>(b.width) * b.bitsPerPixel + 7) / 8;
    if (b.pixelsAt > size) return false;
    const std::uint64_t available = size - b.pixelsAt;
    if (static_cast<std::uint64_t>(b.height - 1) > available / stride) return false;
    return stride * static_cast<std::uint64_t>(b.height - 1) + lastRow <= available;
}

void indexedRow(const BmpLayout& b, const unsigned char* palette, const unsigned char* in,
                unsigned char* out) {
    const unsigned bits = b.bitsPerPixel;
    const unsigned perByte = 8 / bits;
    const unsigned lowMask = (1u << bits) - 1;
    for (std::int64_t x = 0; x < b.width; ++x, out += 3) {
        const unsigned byte = in[x / perByte];
        const unsigned shift = 8 - bits * static_cast<unsigned>(x % perByte + 1);
        const unsigned index = (byte >> shift) & lowMask;
        if (index >= b.colours) {  // beyond a short palette: black
            out[0] = out[1] = out[2] = 0;
            continue;
        }
        const unsigned char* bgr = palette + std::size_t{index} * b.paletteEntryBytes;
        out[0] = bgr[2];
        out[1] = bgr[1];
        out[2] = bgr[0];
    }
}

std::uint32_t pixelValue(const unsigned char* p, unsigned bits) {
    return bits == 16 ? readLE16(p) : readLE32(p);
}

// Plain 32-bit pixels: blue, green, red and a fourth byte that is alpha
// only in files that use it.
void bgrRow(const BmpLayout& b, const unsigned char* in, unsigned char* out, bool useAlpha) {
    const unsigned step = b.bitsPerPixel / 8;
    if (!useAlpha) {
        for (std::int64_t x = 0; x < b.width; ++x, in += step, out += 3) {
            out[0] = in[2];
            out[1] = in[1];
            out[2] = in[0];
        }
        return;
    }
    for (std::int64_t x = 0; x < b.width; ++x, in += step, out += 3) {
        const unsigned a = useAlpha ? in[3] : 255u;
        out[0] = static_cast<unsigned char>((in[2] * a + 127u) / 255u);
        out[1] = static_cast<unsigned char>((in[1] * a + 127u) / 255u);
        out[2] = static_cast<unsigned char>((in[0] * a + 127u) / 255u);
    }
}

void bitFieldRow(const BmpLayout& b, const unsigned char* in, unsigned char* out, bool useAlpha) {
    const unsigned step = b.bitsPerPixel / 8;
    for (std::int64_t x = 0; x < b.width; ++x, in += step, out += 3) {
        const std::uint32_t v = pixelValue(in, b.bitsPerPixel);
        const unsigned a = useAlpha ? b.alpha.level(v) : 255u;
        out[0] = static_cast<unsigned char>((b.red.level(v) * a + 127u) / 255u);
        out[1] = static_cast<unsigned char>((b.green.level(v) * a + 127u) / 255u);
        out[2] = static_cast<unsigned char>((b.blue.level(v) * a + 127u) / 255u);
    }
}

// Writers fill an alpha byte or field they do not use with zeros; a
// picture whose alpha is zero throughout is taken as opaque.
bool alphaUsed(const BmpLayout& b, const unsigned char* pixels) {
    if (b.bitFields ? b.alpha.mask == 0 : b.bitsPerPixel != 32) return false;
    const std::uint64_t stride = strideOf(b);
    const unsigned step = b.bitsPerPixel / 8;
    for (std::int64_t y = 0; y < b.height; ++y) {
        const unsigned char* in = pixels + static_cast<std::uint64_t>(y) * stride;
        for (std::int64_t x = 0; x < b.width; ++x, in += step) {
            const std::uint32_t v = pixelValue(in, b.bitsPerPixel);
            if (b.bitFields ? (v & b.alpha.mask) != 0 : in[3] != 0) return true;
        }
    }
    return false;
}

}  // namespace

bool isBmp(const unsigned char* data, std::size_t size) {
    return size >= kFileHeaderSize + 4 && data[0] == 'B' && data[1] == 'M';
}

std::unique_ptr<RGBImage> decodeBmp(const unsigned char* data, std::size_t size) {
    if (!isBmp(data, size)) return nullptr;
    // Paint programs write every 8-bit palette file with RLE8, and old
    // wallpapers are RLE4.
    if (isRunLengthBmp(data, size)) return decodeRunLengthBmp(data, size);
    BmpLayout b;
    if (!readLayout(data, size, b) || !imageSizeAcceptable(b.width, b.height)) return nullptr;
    if (!pixelsComplete(b, size)) return nullptr;
    auto result = makeRGBImage(b.width, b.height);
    if (!result) return nullptr;

    const unsigned char* pixels = data + b.pixelsAt;
    const std::uint64_t stride = strideOf(b);
    const bool useAlpha = alphaUsed(b, pixels);
    for (std::int64_t i = 0; i < b.height; ++i) {
        const unsigned char* in = pixels + static_cast<std::uint64_t>(i) * stride;
        // Stored bottom row first unless the height was negative.
        unsigned char* out = result->row(static_cast<int>(b.topDown ? b.height - 1 - i : i));
        if (b.bitsPerPixel <= 8)
            indexedRow(b, data + b.paletteAt, in, out);
        else if (b.bitFields)
            bitFieldRow(b, in, out, useAlpha);
        else
            bgrRow(b, in, out, useAlpha);
    }
    return result;
}
