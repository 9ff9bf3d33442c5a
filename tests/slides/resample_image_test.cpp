#include "slides/resample_image.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

namespace {

using Pixels = std::vector<unsigned char>;

Pixels resample(int w, int h, const Pixels& src, int dw, int dh, int threads = 1) {
    EXPECT_EQ(src.size(), static_cast<std::size_t>(w) * h * 3);
    // One guard byte past the end catches writes beyond the picture.
    Pixels dst(static_cast<std::size_t>(dw) * dh * 3 + 1, 0xA5);
    resampleImage(w, h, src.data(), dw, dh, dst.data(), nullptr, threads);
    EXPECT_EQ(dst.back(), 0xA5);
    dst.pop_back();
    return dst;
}

// A picture whose red channel is `red` (row 0 first) and green and blue 0.
Pixels redOnly(const std::vector<int>& red) {
    Pixels p;
    for (int r : red) p.insert(p.end(), {static_cast<unsigned char>(r), 0, 0});
    return p;
}

std::vector<int> redOf(const Pixels& p) {
    std::vector<int> red;
    for (std::size_t i = 0; i < p.size(); i += 3) red.push_back(p[i]);
    return red;
}

Pixels noise(int w, int h, unsigned seed) {
    std::mt19937 random(seed);
    Pixels p(static_cast<std::size_t>(w) * h * 3);
    for (auto& v : p) v = static_cast<unsigned char>(random());
    return p;
}

// The general filter as written down: one destination pixel at a time,
// walking its window with no precomputation. The resampler proper must
// agree with it byte for byte.
Pixels directFilter(int w, int h, const Pixels& src, int dw, int dh) {
    const double xs = static_cast<double>(w) / dw, ys = static_cast<double>(h) / dh;
    const float hx = static_cast<float>(0.5 * xs), hy = static_cast<float>(0.5 * ys);
    Pixels dst;
    for (int i = 0; i < dh; ++i) {
        const float yc = static_cast<float>((i + 0.5) * ys);
        const float yLo = h > dh ? yc - hy : yc - 0.5f, yHi = h > dh ? yc + hy : yc + 0.5f;
        for (int j = 0; j < dw; ++j) {
            const float xc = static_cast<float>((j + 0.5) * xs);
            const float xLo = w > dw ? xc - hx : xc - 0.5f, xHi = w > dw ? xc + hx : xc + 0.5f;
            float acc[3] = {0, 0, 0}, total = 0;
            float a = yLo;
            for (int r = static_cast<int>(std::floor(yLo)); a < yHi; ++r) {
                const float fy = std::min(static_cast<float>(r + 1), yHi) - a;
                const int row = (r + h) % h;
                float b = xLo;
                for (int c = static_cast<int>(std::floor(xLo)); b < xHi; ++c) {
                    const float weight = (std::min(static_cast<float>(c + 1), xHi) - b) * fy;
                    const int column = (c + w) % w;
                    total += weight;
                    for (int k = 0; k < 3; ++k)
                        acc[k] += weight * static_cast<float>(src[(row * w + column) * 3 + k]);
                    b = static_cast<float>(c + 1);
                }
                a = static_cast<float>(r + 1);
            }
            for (int k = 0; k < 3; ++k)
                dst.push_back(static_cast<unsigned char>((acc[k] + 0.5f) * (1.0f / total)));
        }
    }
    return dst;
}

}  // namespace

TEST(ResampleImage, HalvingRoundsTheTwoByTwoAverageHalfUp) {
    EXPECT_EQ(redOf(resample(2, 2, redOnly({0, 1, 1, 1}), 1, 1)), std::vector<int>{1});
    EXPECT_EQ(redOf(resample(2, 2, redOnly({0, 0, 1, 1}), 1, 1)), std::vector<int>{1});
    EXPECT_EQ(redOf(resample(2, 2, redOnly({0, 0, 0, 1}), 1, 1)), std::vector<int>{0});
    EXPECT_EQ(redOf(resample(2, 2, redOnly({255, 255, 255, 254}), 1, 1)),
              std::vector<int>{255});

    const int w = 14, h = 10;
    const Pixels src = noise(w, h, 7);
    const Pixels dst = resample(w, h, src, w / 2, h / 2);
    for (int i = 0; i < h / 2; ++i)
        for (int j = 0; j < w / 2; ++j)
            for (int k = 0; k < 3; ++k) {
                auto s = [&](int r, int c) { return src[(r * w + c) * 3 + k]; };
                const int sum = s(2 * i, 2 * j) + s(2 * i, 2 * j + 1) + s(2 * i + 1, 2 * j) +
                                s(2 * i + 1, 2 * j + 1);
                ASSERT_EQ(dst[(i * (w / 2) + j) * 3 + k], (sum + 2) / 4)
                    << "row " << i << " column " << j << " channel " << k;
            }
}

TEST(ResampleImage, ShrinkingAddsTheHalfBeforeDividingByTheCoveredArea) {
    // 2x1 to 1x1 does not halve the height: both columns with weight 1,
    // (1 + 0.5) / 2 truncates to 0.
    EXPECT_EQ(redOf(resample(2, 1, redOnly({0, 1}), 1, 1)), std::vector<int>{0});
    EXPECT_EQ(redOf(resample(2, 1, redOnly({255, 255}), 1, 1)), std::vector<int>{255});
    // 5 to 2: windows [0, 2.5] and [2.5, 5] share the middle column.
    EXPECT_EQ(redOf(resample(5, 1, redOnly({0, 10, 20, 30, 40}), 2, 1)),
              (std::vector<int>{8, 32}));
    EXPECT_EQ(redOf(resample(1, 3, redOnly({10, 20, 31}), 1, 1)), std::vector<int>{20});
}

TEST(ResampleImage, GrowingInterpolatesAndWrapsAroundTheEdges) {
    // 3 rows to 4: row 0 takes 1/8 of the last row and 7/8 of the first,
    // row 3 7/8 of the last and 1/8 of the first.
    EXPECT_EQ(redOf(resample(1, 3, redOnly({8, 40, 80}), 1, 4)),
              (std::vector<int>{17, 28, 55, 71}));
    // The same along a row.
    EXPECT_EQ(redOf(resample(3, 1, redOnly({8, 40, 80}), 4, 1)),
              (std::vector<int>{17, 28, 55, 71}));

    // 2x2 to 4x4: the corner mixes all four pixels, the far ones (wrapped)
    // with a quarter per side.
    const Pixels src = redOnly({0, 64, 128, 192});  // rows (0, 64), (128, 192)
    const std::vector<int> dst = redOf(resample(2, 2, src, 4, 4));
    // Corner (0, 0): .0625 * 192 + .1875 * 128 + .1875 * 64 + .5625 * 0.
    EXPECT_EQ(dst[0], 48);
    // Corner (3, 3): .5625 * 192 + .1875 * 128 + .1875 * 64 + .0625 * 0.
    EXPECT_EQ(dst[15], 144);
    // (0, 2): rows 1 and 0 at .25/.75, columns 0 and 1 at .25/.75.
    EXPECT_EQ(dst[2], 80);
}

TEST(ResampleImage, UnchangedSidesPassThrough) {
    const Pixels src = noise(5, 7, 3);
    EXPECT_EQ(resample(5, 7, src, 5, 7), src);

    // Only the width changes: every column of a 1-wide picture keeps its
    // rows with weight 1.
    const Pixels column = redOnly({3, 100, 250});
    const std::vector<int> widened = redOf(resample(1, 3, column, 4, 3));
    EXPECT_EQ(widened, (std::vector<int>{3, 3, 3, 3, 100, 100, 100, 100, 250, 250, 250, 250}));
}

TEST(ResampleImage, ConstantPicturesStayConstantOnEveryPath) {
    struct Case {
        int w, h, dw, dh;
    };
    const Case cases[] = {
        {32, 32, 16, 16},    // exact halving
        {37, 23, 16, 8},     // shrink both
        {600, 400, 256, 256},  // shrink both, photo-like ratio
        {5, 3, 16, 16},      // grow both
        {30, 10, 16, 16},    // shrink x, grow y
        {10, 30, 16, 16},    // grow x, shrink y
        {4, 2, 2, 2},        // only the width halves
        {1, 1, 8, 4},        // from a single pixel
        {640, 480, 512, 512},
        {3, 5, 1, 1},
    };
    const unsigned char colours[][3] = {{0, 0, 0}, {255, 255, 255}, {1, 127, 254}, {200, 3, 77}};
    for (const Case& c : cases)
        for (const auto& colour : colours) {
            Pixels src;
            for (int i = 0; i < c.w * c.h; ++i) src.insert(src.end(), colour, colour + 3);
            const Pixels dst = resample(c.w, c.h, src, c.dw, c.dh);
            for (std::size_t i = 0; i < dst.size(); ++i)
                ASSERT_EQ(dst[i], colour[i % 3])
                    << c.w << "x" << c.h << " to " << c.dw << "x" << c.dh << " at byte " << i;
        }
}

TEST(ResampleImage, GeneralPathMatchesTheDirectFilterByteForByte) {
    struct Case {
        int w, h, dw, dh;
    };
    // Shrinking and growing by odd factors, mixed, one side kept, one side
    // halved, and ratios like those of photographs sized for textures.
    const Case cases[] = {{37, 23, 16, 8},   {23, 37, 64, 32},  {7, 5, 19, 3},
                          {300, 200, 256, 256}, {600, 400, 512, 128}, {13, 13, 13, 7},
                          {40, 9, 20, 16},   {1, 9, 5, 2},      {97, 61, 1, 1},
                          {6, 4, 4, 4},      {3000, 2, 1024, 2},
                          // Sides beyond kLargestCachedSide take the pixel-by-pixel path.
                          {70000, 3, 64, 2}, {2, 70001, 4, 16}, {65537, 1, 4096, 1},
                          {65536, 2, 1000, 1}};
    unsigned seed = 11;
    for (const Case& c : cases) {
        const Pixels src = noise(c.w, c.h, ++seed);
        const Pixels direct = directFilter(c.w, c.h, src, c.dw, c.dh);
        // Rows shared out with a second thread come out the same.
        for (int threads : {1, 2})
            ASSERT_EQ(resample(c.w, c.h, src, c.dw, c.dh, threads), direct)
                << c.w << "x" << c.h << " to " << c.dw << "x" << c.dh << ", threads " << threads;
    }
}

TEST(ResampleImage, EveryPathStopsAtACancelBeforeItsNextRow) {
    // The halving, the cached general filter and the streaming one (a
    // source wider than the cached filter takes); the general one also
    // with its rows shared by two threads.
    const struct { int w, h, dw, dh, threads; } cases[] = {
        {64, 48, 32, 24, 1}, {64, 48, 50, 20, 1}, {64, 48, 50, 20, 2},
        {kLargestCachedSide + 2, 2, 8, 1, 1}};
    for (const auto& c : cases) {
        const Pixels src = noise(c.w, c.h, 7);
        for (bool cancelled : {false, true}) {
            const std::atomic<bool> cancel{cancelled};
            Pixels dst(static_cast<std::size_t>(c.dw) * c.dh * 3, 0xA5);
            const bool whole =
                resampleImage(c.w, c.h, src.data(), c.dw, c.dh, dst.data(), &cancel, c.threads);
            EXPECT_EQ(whole, !cancelled) << c.w << "x" << c.h;
            if (cancelled) {
                EXPECT_TRUE(std::all_of(dst.begin(), dst.end(), [](unsigned char v) { return v == 0xA5; }))
                    << "a cancelled filter wrote rows, " << c.w << "x" << c.h;
            } else {
                EXPECT_EQ(dst, resample(c.w, c.h, src, c.dw, c.dh)) << c.w << "x" << c.h;
            }
        }
    }
}
