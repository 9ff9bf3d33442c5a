#include "slides/resample_lanes.h"

#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

template <int Count, bool First>
void addRow(int dstWidth, int count, const int* index, const float* shares, float fy,
            const Lanes* line, Lanes* sums) {
    const int n = Count > 0 ? Count : count;
    for (int j = 0; j < dstWidth; ++j, index += n, shares += n) {
        // 0 + x is x exactly, so the first row needs no cleared sums.
        Lanes sum = First ? Lanes{} : sums[j];
        for (int t = 0; t < n; ++t) addWeighted(sum, shares[t] * fy, line[index[t]]);
        sums[j] = sum;
    }
}

// Two rows at once keep the sums out of memory in between.
template <int Count>
void addTwoRows(int dstWidth, int count, const int* index, const float* shares, float fy0,
                const Lanes* line0, float fy1, const Lanes* line1, Lanes* sums) {
    const int n = Count > 0 ? Count : count;
    for (int j = 0; j < dstWidth; ++j, index += n, shares += n) {
        Lanes sum{};
        for (int t = 0; t < n; ++t) addWeighted(sum, shares[t] * fy0, line0[index[t]]);
        for (int t = 0; t < n; ++t) addWeighted(sum, shares[t] * fy1, line1[index[t]]);
        sums[j] = sum;
    }
}

template <int Count>
RowAdders adders() {
    return {addRow<Count, true>, addTwoRows<Count>, addRow<Count, false>};
}

}  // namespace

RowAdders rowAdders(int count, bool avx2) {
    if (avx2) return avx2RowAdders(count);
    return byTapCount(count, [](auto n) { return adders<decltype(n)::value>(); });
}

void convertRow(const unsigned char* p, int width, Lanes* out, bool avx2) {
    int x = avx2 ? convertRowAvx2(p, width, out) : 0;
    p += 3 * x;
#if defined(__SSE2__)
    // Four bytes a pixel, the fourth from the next pixel and replaced by
    // the weight 1: so not for the last pixel, whose fourth byte may lie
    // beyond the picture.
    const __m128i zero = _mm_setzero_si128();
    const __m128 colour = _mm_castsi128_ps(_mm_set_epi32(0, -1, -1, -1));
    const __m128 weight = _mm_set_ps(1.0f, 0.0f, 0.0f, 0.0f);
    for (; x + 1 < width; ++x, p += 3) {
        int bytes;
        std::memcpy(&bytes, p, 4);
        const __m128i ints =
            _mm_unpacklo_epi16(_mm_unpacklo_epi8(_mm_cvtsi32_si128(bytes), zero), zero);
        _mm_store_ps(out[x].v, _mm_or_ps(_mm_and_ps(_mm_cvtepi32_ps(ints), colour), weight));
    }
#endif
    for (; x < width; ++x, p += 3)
        out[x] = {{static_cast<float>(p[0]), static_cast<float>(p[1]), static_cast<float>(p[2]),
                   1.0f}};
}
