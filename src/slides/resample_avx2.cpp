// The resampler's row arithmetic two destination pixels at a time, for
// processors with AVX2. Each lane still does exactly the single-precision
// multiply and add the portable code does, in the same order: no fused
// multiply-add (not enabled here), so the bytes are the same.
#include "slides/resample_lanes.h"

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#include <immintrin.h>

#define GLIMMORA_AVX2 __attribute__((target("avx2")))

namespace {

// The weights of tap t of two neighbouring destination pixels, each across
// its four lanes.
GLIMMORA_AVX2 inline __m256 pairWeights(const float* left, const float* right, __m256 fy) {
    return _mm256_mul_ps(_mm256_set_m128(_mm_broadcast_ss(right), _mm_broadcast_ss(left)), fy);
}

GLIMMORA_AVX2 inline __m256 pairPixels(const Lanes& left, const Lanes& right) {
    return _mm256_loadu2_m128(right.v, left.v);
}

// Pixel pairs; a last pixel left over goes through the portable adders.
template <int Count, bool First>
GLIMMORA_AVX2 void addRowPairs(int dstWidth, int count, const int* index, const float* shares,
                               float fy, const Lanes* line, Lanes* sums) {
    const int n = Count > 0 ? Count : count;
    const __m256 f = _mm256_set1_ps(fy);
    int j = 0;
    for (; j + 1 < dstWidth; j += 2, index += 2 * n, shares += 2 * n) {
        __m256 sum = First ? _mm256_setzero_ps() : _mm256_loadu_ps(sums[j].v);
        for (int t = 0; t < n; ++t)
            sum = _mm256_add_ps(sum, _mm256_mul_ps(pairWeights(shares + t, shares + n + t, f),
                                                   pairPixels(line[index[t]], line[index[n + t]])));
        _mm256_storeu_ps(sums[j].v, sum);
    }
    if (j < dstWidth) {
        const RowAdders single = rowAdders(n, false);
        (First ? single.start : single.add)(1, n, index, shares, fy, line, sums + j);
    }
}

template <int Count>
GLIMMORA_AVX2 void addTwoRowPairs(int dstWidth, int count, const int* index, const float* shares,
                                  float fy0, const Lanes* line0, float fy1, const Lanes* line1,
                                  Lanes* sums) {
    const int n = Count > 0 ? Count : count;
    const __m256 f0 = _mm256_set1_ps(fy0), f1 = _mm256_set1_ps(fy1);
    int j = 0;
    for (; j + 1 < dstWidth; j += 2, index += 2 * n, shares += 2 * n) {
        __m256 sum = _mm256_setzero_ps();
        for (int t = 0; t < n; ++t)
            sum = _mm256_add_ps(sum, _mm256_mul_ps(pairWeights(shares + t, shares + n + t, f0),
                                                   pairPixels(line0[index[t]], line0[index[n + t]])));
        for (int t = 0; t < n; ++t)
            sum = _mm256_add_ps(sum, _mm256_mul_ps(pairWeights(shares + t, shares + n + t, f1),
                                                   pairPixels(line1[index[t]], line1[index[n + t]])));
        _mm256_storeu_ps(sums[j].v, sum);
    }
    if (j < dstWidth)
        rowAdders(n, false).startTwo(1, n, index, shares, fy0, line0, fy1, line1, sums + j);
}

template <int Count>
RowAdders pairAdders() {
    return {addRowPairs<Count, true>, addTwoRowPairs<Count>, addRowPairs<Count, false>};
}

}  // namespace

bool avx2Usable() {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2");
}

GLIMMORA_AVX2 int convertRowAvx2(const unsigned char* p, int width, Lanes* out) {
    // Sixteen bytes in both halves; each half spreads one pixel's three
    // bytes over the first three of its four 32-bit lanes.
    const __m256i first = _mm256_setr_epi8(0, -1, -1, -1, 1, -1, -1, -1, 2, -1, -1, -1, -1, -1, -1, -1,
                                           3, -1, -1, -1, 4, -1, -1, -1, 5, -1, -1, -1, -1, -1, -1, -1);
    const __m256i second = _mm256_setr_epi8(6, -1, -1, -1, 7, -1, -1, -1, 8, -1, -1, -1, -1, -1, -1, -1,
                                            9, -1, -1, -1, 10, -1, -1, -1, 11, -1, -1, -1, -1, -1, -1, -1);
    const __m256 weight = _mm256_setr_ps(0, 0, 0, 1, 0, 0, 0, 1);
    int x = 0;
    // Four pixels from sixteen bytes: the read stays inside the row while
    // two more pixels follow.
    for (; x + 6 <= width; x += 4, p += 12) {
        const __m256i bytes =
            _mm256_broadcastsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)));
        _mm256_storeu_ps(out[x].v,
                         _mm256_or_ps(_mm256_cvtepi32_ps(_mm256_shuffle_epi8(bytes, first)), weight));
        _mm256_storeu_ps(out[x + 2].v,
                         _mm256_or_ps(_mm256_cvtepi32_ps(_mm256_shuffle_epi8(bytes, second)), weight));
    }
    return x;
}

RowAdders avx2RowAdders(int count) {
    return byTapCount(count, [](auto n) { return pairAdders<decltype(n)::value>(); });
}

#else

bool avx2Usable() { return false; }
int convertRowAvx2(const unsigned char*, int, Lanes*) { return 0; }
RowAdders avx2RowAdders(int) { return {}; }

#endif
