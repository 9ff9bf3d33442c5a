#include "slides/texel_row.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#include <immintrin.h>
#define GLIMMORA_TEXEL_SHUFFLE 1
#endif

namespace {

// Texels closer than three to an edge are scaled by d / 3, with one third
// in single precision: alpha 0, 85 and 170 for d = 0, 1 and 2.
struct Ramp {
    unsigned char scaled[3][256];
    unsigned char alpha[3];

    Ramp() {
        for (int d = 0; d < 3; ++d) {
            const float f = static_cast<float>(d) * 0.33333334f;
            for (int v = 0; v < 256; ++v)
                scaled[d][v] = static_cast<unsigned char>(static_cast<float>(v) * f);
            alpha[d] = static_cast<unsigned char>(255.0f * f);
        }
    }
};

const Ramp ramp;

inline void copyTexel(const unsigned char* p, unsigned char* out) {
    out[0] = p[0];
    out[1] = p[1];
    out[2] = p[2];
    out[3] = 255;
}

// One texel inside the picture, `dy` being its row's distance to the nearer
// of the bottom (0) and top (1) edges.
inline void edgeTexel(const unsigned char* row, int x, int width, int dy, unsigned char* out) {
    const int d = std::min({x, width - x, dy});
    const unsigned char* p = row + 3 * x;
    if (d >= 3) {
        copyTexel(p, out);
        return;
    }
    out[0] = ramp.scaled[d][p[0]];
    out[1] = ramp.scaled[d][p[1]];
    out[2] = ramp.scaled[d][p[2]];
    out[3] = ramp.alpha[d];
}

#if GLIMMORA_TEXEL_SHUFFLE
// Opaque texels of `count` pixels four at a time, as many as whole fours
// allow; returns how many. Sixteen bytes are read for twelve, so the row
// must go on for two pixels past `count`.
__attribute__((target("ssse3"))) int copyTexelsSsse3(const unsigned char* p, int count,
                                                     unsigned char* out) {
    const __m128i spread = _mm_setr_epi8(0, 1, 2, -1, 3, 4, 5, -1, 6, 7, 8, -1, 9, 10, 11, -1);
    const __m128i opaque = _mm_set1_epi32(static_cast<int>(0xFF000000u));
    int x = 0;
    for (; x + 4 <= count; x += 4, p += 12, out += 16) {
        const __m128i pixels = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out),
                         _mm_or_si128(_mm_shuffle_epi8(pixels, spread), opaque));
    }
    return x;
}

const bool kSsse3 = [] {
    __builtin_cpu_init();
    return __builtin_cpu_supports("ssse3") != 0;
}();
#endif

}  // namespace

void writeTexelRow(const RGBImage& image, int x0, int y, int count, unsigned char* out) {
    const int end = x0 + count;
    if (y >= image.height) {
        // Rows above the picture are all margin.
        std::memset(out, 0, static_cast<std::size_t>(count) * 4);
        return;
    }
    const int pictureEnd = std::clamp(image.width, x0, end);
    const unsigned char* row = image.row(y);
    const int dy = std::min(y, image.height - y);
    // Columns 3 to width - 3 of a row at least three from both edges copy
    // straight through; only the ramps need the distance rule.
    int inner = x0;
    int innerEnd = x0;
    if (dy >= 3) {
        inner = std::clamp(3, x0, pictureEnd);
        innerEnd = std::clamp(image.width - 2, inner, pictureEnd);
    }
    int x = x0;
    for (; x < inner; ++x, out += 4) edgeTexel(row, x, image.width, dy, out);
    const unsigned char* p = row + 3 * x;
#if GLIMMORA_TEXEL_SHUFFLE
    if (kSsse3) {
        const int copied = copyTexelsSsse3(p, innerEnd - x, out);
        x += copied;
        p += 3 * copied;
        out += 4 * copied;
    }
#endif
    if constexpr (std::endian::native == std::endian::little) {
        // Four bytes at a time: the fourth, from the next pixel, becomes the
        // alpha. Reads stay inside the row, which goes on past innerEnd.
        for (; x < innerEnd; ++x, p += 3, out += 4) {
            std::uint32_t texel;
            std::memcpy(&texel, p, 4);
            texel |= 0xFF000000u;
            std::memcpy(out, &texel, 4);
        }
    }
    for (; x < innerEnd; ++x, p += 3, out += 4) copyTexel(p, out);
    for (; x < pictureEnd; ++x, out += 4) edgeTexel(row, x, image.width, dy, out);
    std::memset(out, 0, static_cast<std::size_t>(end - pictureEnd) * 4);
}
