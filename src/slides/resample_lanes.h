#pragma once
// The resampler's inner pieces, shared by its portable and its AVX2 row
// arithmetic.
#include <type_traits>

// Four single-precision lanes: red, green, blue and weight. Kept together
// so that the compiler can add a whole weighted pixel in one vector step;
// each lane still rounds exactly like the lone float it stands for.
struct alignas(16) Lanes {
    float v[4];
};

inline void addWeighted(Lanes& sum, float weight, const Lanes& pixel) {
    for (int k = 0; k < 4; ++k) sum.v[k] += weight * pixel.v[k];
}

// Adds one source row, with share fy, into the sums of a destination row:
// destination pixel j reads the `count` source pixels index[j * count + t]
// with the column shares shares[j * count + t]. A starting adder writes the
// sums instead of adding to them.
using AddRow = void (*)(int dstWidth, int count, const int* index, const float* shares, float fy,
                        const Lanes* line, Lanes* sums);
// Starts the sums from two source rows at once, in the order of two rows
// added one after the other.
using AddTwoRows = void (*)(int dstWidth, int count, const int* index, const float* shares,
                            float fy0, const Lanes* line0, float fy1, const Lanes* line1,
                            Lanes* sums);

struct RowAdders {
    AddRow start;
    AddTwoRows startTwo;
    AddRow add;
};

// pick(std::integral_constant<int, N>) for a tap count: a fixed count of
// up to six unrolls the taps (the windows of photographs sized for
// textures have a few), any other count is 0, counted at run time.
template <typename Pick>
RowAdders byTapCount(int count, Pick pick) {
    switch (count) {
        case 1: return pick(std::integral_constant<int, 1>{});
        case 2: return pick(std::integral_constant<int, 2>{});
        case 3: return pick(std::integral_constant<int, 3>{});
        case 4: return pick(std::integral_constant<int, 4>{});
        case 5: return pick(std::integral_constant<int, 5>{});
        case 6: return pick(std::integral_constant<int, 6>{});
        default: return pick(std::integral_constant<int, 0>{});
    }
}

// True when this processor (and its system) runs AVX2.
bool avx2Usable();

// The adders for `count` taps per destination pixel, two destination pixels
// at a time with `avx2`, else one. Both give the same bytes.
RowAdders rowAdders(int count, bool avx2);

// One source row of `width` packed RGB pixels as Lanes (red, green, blue,
// 1); with `avx2` four pixels at a time.
void convertRow(const unsigned char* pixels, int width, Lanes* out, bool avx2);

// The AVX2 halves of those: the pixels converted (all but a few at the
// end of the row, left to the caller), and the adders.
int convertRowAvx2(const unsigned char* pixels, int width, Lanes* out);
RowAdders avx2RowAdders(int count);
