#include "images/pcx_decoder.h"

#include <cstring>
#include <vector>

#include "images/byte_order.h"

namespace {

constexpr std::size_t kHeaderSize = 128;
constexpr std::size_t kHeaderPalette = 16;     // 16 RGB entries
constexpr std::size_t kTailPaletteSize = 769;  // 0x0C marker and 256 RGB entries

struct PcxHeader {
    int encoding;
    int bitsPerPixel;
    int planes;
    int bytesPerLine;
    long long width;
    long long height;
};

PcxHeader readHeader(const unsigned char* data) {
    PcxHeader h;
    h.encoding = data[2];
    h.bitsPerPixel = data[3];
    h.width = static_cast<long long>(readLE16(data + 8)) - readLE16(data + 4) + 1;
    h.height = static_cast<long long>(readLE16(data + 10)) - readLE16(data + 6) + 1;
    h.planes = data[65];
    h.bytesPerLine = readLE16(data + 66);
    return h;
}

bool layoutSupported(const PcxHeader& h) {
    switch (h.bitsPerPixel) {
        case 1: return h.planes >= 1 && h.planes <= 4;
        case 2:
        case 4: return h.planes == 1;
        case 8: return h.planes == 1 || h.planes == 3;
        default: return false;
    }
}

// Delivers the bytes of the encoded scanlines one after another. Runs may
// cross scanline boundaries, so the state lives across rows. Never reads at
// or past `end`.
class ScanlineReader {
public:
    ScanlineReader(const unsigned char* pos, const unsigned char* end, bool compressed)
        : pos_(pos), end_(end), compressed_(compressed) {}

    bool read(unsigned char* out, std::size_t count) {
        if (!compressed_) {
            if (static_cast<std::size_t>(end_ - pos_) < count) return false;
            std::memcpy(out, pos_, count);
            pos_ += count;
            return true;
        }
        while (count > 0) {
            if (runLeft_ == 0) {
                if (pos_ == end_) return false;
                const unsigned char b = *pos_++;
                if ((b & 0xC0) == 0xC0) {
                    if (pos_ == end_) return false;
                    runLeft_ = b & 0x3F;
                    runValue_ = *pos_++;
                } else {
                    runLeft_ = 1;
                    runValue_ = b;
                }
                continue;
            }
            const std::size_t n = count < runLeft_ ? count : runLeft_;
            std::memset(out, runValue_, n);
            out += n;
            count -= n;
            runLeft_ -= n;
        }
        return true;
    }

private:
    const unsigned char* pos_;
    const unsigned char* end_;
    bool compressed_;
    std::size_t runLeft_ = 0;
    unsigned char runValue_ = 0;
};

struct Palette {
    unsigned char rgb[256][3] = {};
};

Palette headerPalette(const unsigned char* data, const PcxHeader& h) {
    Palette p;
    std::memcpy(p.rgb, data + kHeaderPalette, 48);
    // Monochrome files often leave the header palette empty: black on white.
    if (h.bitsPerPixel == 1 && h.planes == 1 && std::memcmp(p.rgb[0], p.rgb[1], 3) == 0) {
        std::memset(p.rgb[0], 0, 3);
        std::memset(p.rgb[1], 255, 3);
    }
    return p;
}

// The 256-colour palette that follows the picture data.
Palette tailPalette(const unsigned char* data, std::size_t size) {
    Palette p;
    std::memcpy(p.rgb, data + size - kTailPaletteSize + 1, 768);
    return p;
}

void convertPalettedRow(const unsigned char* line, const PcxHeader& h, const Palette& palette,
                        unsigned char* out) {
    const int bpp = h.bitsPerPixel;
    for (long long x = 0; x < h.width; ++x, out += 3) {
        int index = 0;
        if (bpp == 8) {
            index = line[x];
        } else if (bpp == 1) {
            for (int plane = 0; plane < h.planes; ++plane) {
                const unsigned char byte = line[plane * h.bytesPerLine + (x >> 3)];
                index |= ((byte >> (7 - (x & 7))) & 1) << plane;
            }
        } else {  // 2 or 4 bits, packed from the high bits down
            const int perByte = 8 / bpp;
            const unsigned char byte = line[x / perByte];
            const int shift = 8 - bpp * static_cast<int>(x % perByte + 1);
            index = (byte >> shift) & ((1 << bpp) - 1);
        }
        std::memcpy(out, palette.rgb[index], 3);
    }
}

void convertTrueColourRow(const unsigned char* line, const PcxHeader& h, unsigned char* out) {
    const unsigned char* r = line;
    const unsigned char* g = line + h.bytesPerLine;
    const unsigned char* b = line + 2 * h.bytesPerLine;
    for (long long x = 0; x < h.width; ++x, out += 3) {
        out[0] = r[x];
        out[1] = g[x];
        out[2] = b[x];
    }
}

}  // namespace

bool isPcx(const unsigned char* data, std::size_t size) {
    if (size < kHeaderSize || data[0] != 0x0A) return false;
    const unsigned char version = data[1];
    if (version != 0 && version != 2 && version != 3 && version != 4 && version != 5) return false;
    if (data[2] > 1) return false;
    const unsigned char bpp = data[3];
    return bpp == 1 || bpp == 2 || bpp == 4 || bpp == 8;
}

std::unique_ptr<RGBImage> decodePcx(const unsigned char* data, std::size_t size) {
    if (!isPcx(data, size)) return nullptr;
    const PcxHeader h = readHeader(data);
    if (!layoutSupported(h)) return nullptr;
    if (static_cast<long long>(h.bytesPerLine) * 8 < h.width * h.bitsPerPixel) return nullptr;
    if (!imageSizeAcceptable(h.width, h.height)) return nullptr;

    const bool indexed8 = h.bitsPerPixel == 8 && h.planes == 1;
    const bool hasTail = indexed8 && size >= kHeaderSize + kTailPaletteSize &&
                         data[size - kTailPaletteSize] == 0x0C;
    // An 8-bit file without its palette has been cut short.
    if (indexed8 && !hasTail) return nullptr;
    const Palette palette = indexed8 ? tailPalette(data, size) : headerPalette(data, h);
    const std::size_t dataEnd = hasTail ? size - kTailPaletteSize : size;

    auto result = makeRGBImage(h.width, h.height);
    if (!result) return nullptr;
    std::vector<unsigned char> line(static_cast<std::size_t>(h.planes) * h.bytesPerLine);
    ScanlineReader reader(data + kHeaderSize, data + dataEnd, h.encoding == 1);
    for (long long y = 0; y < h.height; ++y) {
        if (!reader.read(line.data(), line.size())) return nullptr;
        unsigned char* out = result->row(static_cast<int>(h.height - 1 - y));
        if (h.bitsPerPixel == 8 && h.planes == 3)
            convertTrueColourRow(line.data(), h, out);
        else
            convertPalettedRow(line.data(), h, palette, out);
    }
    return result;
}
