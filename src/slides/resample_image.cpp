#include "slides/resample_image.h"

#include "slides/resample_lanes.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <system_error>
#include <thread>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#include <xmmintrin.h>
#endif

namespace {

// True once `cancel` (when given) reads true: the filters look at it before
// every destination row.
bool cancelled(const std::atomic<bool>* cancel) {
    return cancel && cancel->load(std::memory_order_relaxed);
}

// One destination pixel of the exact halving: the 2x2 block at `lower`
// (two source pixels) and `upper`, the row above.
inline void halvePixel(const unsigned char* lower, const unsigned char* upper, unsigned char* out) {
    for (int k = 0; k < 3; ++k)
        out[k] = static_cast<unsigned char>((lower[k] + lower[k + 3] + upper[k] + upper[k + 3] + 2) >> 2);
}

bool halve(int srcWidth, const unsigned char* src, int dstWidth, int dstHeight,
           unsigned char* dst, const std::atomic<bool>* cancel) {
    const std::size_t srcStride = static_cast<std::size_t>(srcWidth) * 3;
    for (int i = 0; i < dstHeight; ++i) {
        if (cancelled(cancel)) return false;
        const unsigned char* lower = src + 2 * static_cast<std::size_t>(i) * srcStride;
        const unsigned char* upper = lower + srcStride;
        unsigned char* out = dst + static_cast<std::size_t>(i) * dstWidth * 3;
        int j = 0;
#if defined(__SSE2__)
        // Eight bytes of each row, two beyond the block, and four written,
        // one beyond the pixel: so not for the last pixel of a row, where
        // either may leave the buffer.
        const __m128i zero = _mm_setzero_si128();
        const __m128i two = _mm_set1_epi16(2);
        for (; j + 1 < dstWidth; ++j, lower += 6, upper += 6, out += 3) {
            std::uint64_t a, b;
            std::memcpy(&a, lower, 8);
            std::memcpy(&b, upper, 8);
            const __m128i rows =
                _mm_add_epi16(_mm_unpacklo_epi8(_mm_cvtsi64_si128(static_cast<long long>(a)), zero),
                              _mm_unpacklo_epi8(_mm_cvtsi64_si128(static_cast<long long>(b)), zero));
            // Left pixel's column sums plus the right pixel's, three lanes on.
            const __m128i block = _mm_add_epi16(rows, _mm_srli_si128(rows, 6));
            const __m128i mean = _mm_srli_epi16(_mm_add_epi16(block, two), 2);
            const int bytes = _mm_cvtsi128_si32(_mm_packus_epi16(mean, mean));
            std::memcpy(out, &bytes, 4);
        }
#endif
        for (; j < dstWidth; ++j, lower += 6, upper += 6, out += 3) halvePixel(lower, upper, out);
    }
    return true;
}

// The source rows (or columns) one destination row (or column) reads, with
// their covered shares, in the order the filter visits them. Computed once
// per side instead of once per destination pixel.
struct Tap {
    int index;    // wrapped source row or column
    float share;  // covered fraction of that row or column
};

struct Taps {
    std::vector<Tap> taps;
    std::vector<int> first;  // taps of destination k: [first[k], first[k + 1])
};

// The filter's window over one side for destination pixel k, walked in
// the filter's order: calls visit(wrapped source index, share) per source
// row or column, exactly as buildTaps lists them.
class Window {
public:
    Window(int srcSize, int dstSize)
        : srcSize_(srcSize),
          scale_(static_cast<double>(srcSize) / dstSize),
          half_(static_cast<float>(0.5 * scale_)),
          shrinking_(srcSize > dstSize) {}

    template <typename Visit>
    void walk(int k, Visit&& visit) const {
        const float centre = static_cast<float>((k + 0.5) * scale_);
        const float lo = shrinking_ ? centre - half_ : centre - 0.5f;
        const float hi = shrinking_ ? centre + half_ : centre + 0.5f;
        float boundary = lo;
        for (int n = static_cast<int>(std::floor(lo)); boundary < hi; ++n) {
            visit((n + srcSize_) % srcSize_, std::min(static_cast<float>(n + 1), hi) - boundary);
            boundary = static_cast<float>(n + 1);
        }
    }

private:
    int srcSize_;
    double scale_;
    float half_;
    bool shrinking_;
};

// One side of the filter. The centre and the window bounds are single
// precision, the scale factor double, as the results depend on it.
Taps buildTaps(int srcSize, int dstSize) {
    const double scale = static_cast<double>(srcSize) / dstSize;
    const Window window(srcSize, dstSize);
    Taps result;
    result.first.reserve(static_cast<std::size_t>(dstSize) + 1);
    result.taps.reserve(static_cast<std::size_t>(dstSize) *
                        (static_cast<std::size_t>(std::ceil(scale)) + 2));
    for (int k = 0; k < dstSize; ++k) {
        result.first.push_back(static_cast<int>(result.taps.size()));
        // Both ends of a share lie in one unit interval, so for every window
        // met here it is exact in single precision; the weight of a pixel,
        // column share times row share, is single precision. Windows stick
        // out by less than one pixel, so the index before wrapping is -1 at
        // least.
        window.walk(k, [&result](int index, float share) { result.taps.push_back({index, share}); });
    }
    result.first.push_back(static_cast<int>(result.taps.size()));
    return result;
}

// Destination channels from sums: (sum + 0.5) / total, truncated.
inline void storePixel(const Lanes& sum, float inverse, unsigned char* out) {
#if defined(__SSE2__)
    const __m128 scaled =
        _mm_mul_ps(_mm_add_ps(_mm_load_ps(sum.v), _mm_set1_ps(0.5f)), _mm_set1_ps(inverse));
    const __m128i ints = _mm_cvttps_epi32(scaled);
    const int bytes = _mm_cvtsi128_si32(_mm_packus_epi16(_mm_packs_epi32(ints, ints), ints));
    out[0] = static_cast<unsigned char>(bytes);
    out[1] = static_cast<unsigned char>(bytes >> 8);
    out[2] = static_cast<unsigned char>(bytes >> 16);
#else
    for (int k = 0; k < 3; ++k) out[k] = static_cast<unsigned char>((sum.v[k] + 0.5f) * inverse);
#endif
}

// One destination row from its sums. The half is added before dividing by
// the total weight; the vector steps round exactly like the scalar ones.
void storeRow(const Lanes* sums, int count, unsigned char* out) {
    int j = 0;
#if defined(__SSE2__)
    // Four pixels at once, as planes of red, green, blue and total: one
    // division, then interleaved back into four RGBX words. Each word is
    // stored whole, its X byte overwritten by the next pixel, so not for the
    // last pixel of a row.
    const __m128 half = _mm_set1_ps(0.5f);
    const __m128i zero = _mm_setzero_si128();
    for (; j + 4 < count; j += 4, out += 12) {
        __m128 r = _mm_load_ps(sums[j].v), g = _mm_load_ps(sums[j + 1].v);
        __m128 b = _mm_load_ps(sums[j + 2].v), w = _mm_load_ps(sums[j + 3].v);
        _MM_TRANSPOSE4_PS(r, g, b, w);
        const __m128 inverse = _mm_div_ps(_mm_set1_ps(1.0f), w);
        const __m128i red = _mm_cvttps_epi32(_mm_mul_ps(_mm_add_ps(r, half), inverse));
        const __m128i green = _mm_cvttps_epi32(_mm_mul_ps(_mm_add_ps(g, half), inverse));
        const __m128i blue = _mm_cvttps_epi32(_mm_mul_ps(_mm_add_ps(b, half), inverse));
        const __m128i redGreen =
            _mm_unpacklo_epi16(_mm_packs_epi32(red, red), _mm_packs_epi32(green, green));
        const __m128i blueX = _mm_unpacklo_epi16(_mm_packs_epi32(blue, blue), zero);
        __m128i words = _mm_packus_epi16(_mm_unpacklo_epi32(redGreen, blueX),
                                         _mm_unpackhi_epi32(redGreen, blueX));
        for (int k = 0; k < 4; ++k) {
            const int word = _mm_cvtsi128_si32(words);
            std::memcpy(out + 3 * k, &word, 4);
            words = _mm_srli_si128(words, 4);
        }
    }
#endif
    for (; j < count; ++j, out += 3) storePixel(sums[j], 1.0f / sums[j].v[3], out);
}

// Source rows as Lanes (red, green, blue, 1), converted once for all the
// destination pixels that read them. A destination row reads a few
// neighbouring rows, and the next destination row mostly the same ones.
class RowCache {
public:
    RowCache(int width, const unsigned char* pixels, bool avx2)
        : width_(width), pixels_(pixels), avx2_(avx2) {
        for (auto& slot : slots_) slot.rows.resize(static_cast<std::size_t>(width));
    }

    const Lanes* row(int index) {
        ++clock_;
        Slot* victim = &slots_[0];
        for (auto& slot : slots_) {
            if (slot.index == index) {
                slot.used = clock_;
                return slot.rows.data();
            }
            if (slot.used < victim->used) victim = &slot;
        }
        victim->index = index;
        victim->used = clock_;
        convertRow(pixels_ + static_cast<std::size_t>(index) * width_ * 3, width_, victim->rows.data(),
                   avx2_);
        return victim->rows.data();
    }

private:
    struct Slot {
        int index = -1;
        unsigned long used = 0;
        std::vector<Lanes> rows;
    };
    int width_;
    const unsigned char* pixels_;
    bool avx2_;
    unsigned long clock_ = 0;
    Slot slots_[4];
};

// The column taps again, padded to the same count for every destination
// column with taps of share 0. Adding 0 x pixel leaves a sum exactly as it
// was, so the padding changes no result, while a fixed count lets the
// inner loop run without data-dependent branches.
struct PaddedTaps {
    int count = 0;             // taps per destination column
    std::vector<int> index;    // source column of tap t of column j at j * count + t
    std::vector<float> share;  // its share, 0 for padding
};

PaddedTaps padded(const Taps& taps, int dstSize) {
    PaddedTaps result;
    for (int k = 0; k < dstSize; ++k)
        result.count = std::max(result.count, taps.first[k + 1] - taps.first[k]);
    const std::size_t size = static_cast<std::size_t>(dstSize) * result.count;
    result.index.assign(size, 0);
    result.share.assign(size, 0.0f);
    for (int k = 0; k < dstSize; ++k) {
        const std::size_t base = static_cast<std::size_t>(k) * result.count;
        for (int t = taps.first[k]; t < taps.first[k + 1]; ++t) {
            result.index[base + (t - taps.first[k])] = taps.taps[t].index;
            result.share[base + (t - taps.first[k])] = taps.taps[t].share;
        }
    }
    return result;
}

// Destination rows [begin, end) of the general filter, with a row cache
// and sums of their own: each destination row is computed from the source
// alone, so any split of the rows gives the same bytes.
bool resampleRows(int srcWidth, const unsigned char* src, int dstWidth, unsigned char* dst,
                  const Taps& rows, const PaddedTaps& columns, int begin, int end,
                  const std::atomic<bool>* cancel) {
    static const bool avx2 = avx2Usable();
    const RowAdders adders = rowAdders(columns.count, avx2);
    RowCache cache(srcWidth, src, avx2);
    std::vector<Lanes> sums(static_cast<std::size_t>(dstWidth));
    const int* index = columns.index.data();
    const float* shares = columns.share.data();

    unsigned char* out = dst + static_cast<std::size_t>(begin) * dstWidth * 3;
    for (int i = begin; i < end; ++i) {
        if (cancelled(cancel)) return false;
        // Every destination pixel adds its weighted source pixels in the
        // filter's own order, rows bottom to top and columns left to right
        // within a row; only the pixels of one destination row take turns.
        int r = rows.first[i];
        const int end = rows.first[i + 1];
        if (end - r >= 2) {
            // The cache keeps more than two rows, so the first stays valid.
            const Lanes* first = cache.row(rows.taps[r].index);
            const Lanes* second = cache.row(rows.taps[r + 1].index);
            adders.startTwo(dstWidth, columns.count, index, shares, rows.taps[r].share, first,
                     rows.taps[r + 1].share, second, sums.data());
            r += 2;
        } else {
            adders.start(dstWidth, columns.count, index, shares, rows.taps[r].share,
                  cache.row(rows.taps[r].index), sums.data());
            ++r;
        }
        for (; r < end; ++r)
            adders.add(dstWidth, columns.count, index, shares, rows.taps[r].share,
                cache.row(rows.taps[r].index), sums.data());
        storeRow(sums.data(), dstWidth, out);
        out += static_cast<std::size_t>(dstWidth) * 3;
    }
    return true;
}

bool resampleGeneral(int srcWidth, int srcHeight, const unsigned char* src,
                     int dstWidth, int dstHeight, unsigned char* dst,
                     const std::atomic<bool>* cancel, int threads) {
    const Taps rows = buildTaps(srcHeight, dstHeight);
    const PaddedTaps columns = padded(buildTaps(srcWidth, dstWidth), dstWidth);
    const int split = threads > 1 && dstHeight > 1 ? dstHeight / 2 : dstHeight;
    std::atomic<bool> upperWhole{true};
    std::thread upper;
    if (split < dstHeight) {
        try {
            upper = std::thread([&] {
                upperWhole = resampleRows(srcWidth, src, dstWidth, dst, rows, columns, split,
                                          dstHeight, cancel);
            });
        } catch (const std::system_error&) {
            // No thread to be had: this one does every row.
        }
    }
    const int lowerEnd = upper.joinable() ? split : dstHeight;
    const bool lowerWhole =
        resampleRows(srcWidth, src, dstWidth, dst, rows, columns, 0, lowerEnd, cancel);
    if (upper.joinable()) upper.join();
    return lowerWhole && upperWhole;
}

// The general filter one destination pixel at a time, straight from the
// source: no taps, no converted rows, nothing that grows with the source.
// Slower than resampleGeneral, but its working memory stays constant, so
// a picture of 2^24 x 1 pixels (well inside the pixel limit) costs no
// more than its own buffers. Same weights and the same order of additions
// as resampleGeneral, so the same bytes.
bool resampleStreaming(int srcWidth, int srcHeight, const unsigned char* src,
                       int dstWidth, int dstHeight, unsigned char* dst,
                       const std::atomic<bool>* cancel) {
    const Window rows(srcHeight, dstHeight);
    const Window columns(srcWidth, dstWidth);
    const std::size_t stride = static_cast<std::size_t>(srcWidth) * 3;
    for (int i = 0; i < dstHeight; ++i) {
        if (cancelled(cancel)) return false;
        for (int j = 0; j < dstWidth; ++j, dst += 3) {
            Lanes sum{};
            rows.walk(i, [&](int r, float fy) {
                const unsigned char* line = src + static_cast<std::size_t>(r) * stride;
                columns.walk(j, [&](int c, float fx) {
                    const unsigned char* p = line + static_cast<std::size_t>(c) * 3;
                    const Lanes pixel = {{static_cast<float>(p[0]), static_cast<float>(p[1]),
                                          static_cast<float>(p[2]), 1.0f}};
                    addWeighted(sum, fx * fy, pixel);
                });
            });
            storePixel(sum, 1.0f / sum.v[3], dst);
        }
    }
    return true;
}

}  // namespace

bool resampleImage(int srcWidth, int srcHeight, const unsigned char* src,
                   int dstWidth, int dstHeight, unsigned char* dst,
                   const std::atomic<bool>* cancel, int threads) {
    if (srcWidth == 2 * dstWidth && srcHeight == 2 * dstHeight)
        return halve(srcWidth, src, dstWidth, dstHeight, dst, cancel);
    if (srcWidth > kLargestCachedSide || srcHeight > kLargestCachedSide)
        return resampleStreaming(srcWidth, srcHeight, src, dstWidth, dstHeight, dst, cancel);
    return resampleGeneral(srcWidth, srcHeight, src, dstWidth, dstHeight, dst, cancel, threads);
}
