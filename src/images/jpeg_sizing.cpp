#include "images/jpeg_sizing.h"

#include "images/byte_order.h"
#include "images/jpeg_segments.h"

namespace {

std::uint64_t divideUp(std::uint64_t value, std::uint64_t by) { return (value + by - 1) / by; }

}  // namespace

JpegScale chooseJpegScale(int width, int height, const PictureNeed& need,
                          Orientation orientation, const JpegScale* factors, int count) {
    JpegScale best;
    if (!need.bounded() || width <= 0 || height <= 0) return best;
    // The need is for the picture as shown; the decoder sees it as stored.
    const PictureNeed stored =
        turnsQuarter(orientation) ? PictureNeed{need.height, need.width} : need;
    for (int i = 0; i < count; ++i) {
        const JpegScale f = factors[i];
        if (f.num <= 0 || f.denom <= 0 || f.num > f.denom) continue;
        // Smaller than the best so far, compared exactly.
        if (static_cast<std::int64_t>(f.num) * best.denom >=
            static_cast<std::int64_t>(best.num) * f.denom)
            continue;
        if (coversNeed(jpegScaled(width, f), jpegScaled(height, f), width, height, stored))
            best = f;
    }
    return best;
}

std::uint64_t progressiveCoefficientBytes(const unsigned char* data, std::size_t size) {
    std::uint64_t bytes = 0;
    visitJpegSegments(data, size, [&](unsigned char marker, const unsigned char* p,
                                      std::size_t n) {
        // SOF2 (Huffman) and SOF6, SOF10, SOF14 (differential, arithmetic)
        // are the progressive frames.
        const bool progressive = marker == 0xC2 || marker == 0xC6 || marker == 0xCA || marker == 0xCE;
        const bool frame = (marker >= 0xC0 && marker <= 0xCF) && marker != 0xC4 &&
                           marker != 0xC8 && marker != 0xCC;
        if (!frame) return false;
        if (!progressive || n < 6) return true;
        const std::uint64_t height = readBE16(p + 1), width = readBE16(p + 3);
        const unsigned components = p[5];
        if (n < 6 + 3 * static_cast<std::size_t>(components)) return true;
        unsigned hMax = 1, vMax = 1;
        for (unsigned c = 0; c < components; ++c) {
            const unsigned char factors = p[6 + 3 * c + 1];
            hMax = factors >> 4 > hMax ? factors >> 4 : hMax;
            vMax = (factors & 15) > vMax ? factors & 15 : vMax;
        }
        // Each component is stored in whole 8x8 blocks of whole MCUs.
        const std::uint64_t mcuColumns = divideUp(width, 8 * hMax), mcuRows = divideUp(height, 8 * vMax);
        for (unsigned c = 0; c < components; ++c) {
            const unsigned char factors = p[6 + 3 * c + 1];
            const std::uint64_t blocks = mcuColumns * (factors >> 4) * mcuRows * (factors & 15);
            bytes += blocks * 64 * 2;
        }
        return true;
    });
    return bytes;
}
