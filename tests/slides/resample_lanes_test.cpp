#include "slides/resample_lanes.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

namespace {

std::vector<unsigned char> noise(std::size_t bytes, unsigned seed) {
    std::mt19937 random(seed);
    std::vector<unsigned char> p(bytes);
    for (auto& v : p) v = static_cast<unsigned char>(random());
    return p;
}

bool sameBits(const std::vector<Lanes>& a, const std::vector<Lanes>& b) {
    return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(Lanes)) == 0;
}

}  // namespace

// The picture must not depend on the processor: the AVX2 arithmetic gives
// the portable bits, for odd and even rows, every tap count and each adder.
TEST(ResampleLanes, AvxArithmeticGivesThePortableBits) {
    if (!avx2Usable()) GTEST_SKIP() << "no AVX2 on this processor";
    for (int width : {1, 2, 5, 6, 7, 13, 64}) {
        const auto bytes = noise(static_cast<std::size_t>(width) * 3, static_cast<unsigned>(width));
        std::vector<Lanes> portable(width), avx(width);
        convertRow(bytes.data(), width, portable.data(), false);
        convertRow(bytes.data(), width, avx.data(), true);
        ASSERT_TRUE(sameBits(portable, avx)) << "converting " << width << " pixels";
    }
    const int lineWidth = 40;
    std::mt19937 random(5);
    std::vector<Lanes> line0(lineWidth), line1(lineWidth);
    const auto bytes = noise(2 * lineWidth * 3, 9);
    convertRow(bytes.data(), lineWidth, line0.data(), false);
    convertRow(bytes.data() + lineWidth * 3, lineWidth, line1.data(), false);
    for (int count : {1, 2, 3, 4, 6, 7})
        for (int dstWidth : {1, 2, 3, 8, 9}) {
            const std::size_t taps = static_cast<std::size_t>(dstWidth) * count;
            std::vector<int> index(taps);
            std::vector<float> shares(taps);
            for (std::size_t t = 0; t < taps; ++t) {
                index[t] = static_cast<int>(random() % lineWidth);
                shares[t] = static_cast<float>(random() % 1000) / 999.0f;
            }
            std::vector<Lanes> results[2];
            for (bool avx2 : {false, true}) {
                const RowAdders adders = rowAdders(count, avx2);
                std::vector<Lanes> sums(dstWidth);
                adders.startTwo(dstWidth, count, index.data(), shares.data(), 0.3f, line0.data(),
                                0.7f, line1.data(), sums.data());
                adders.add(dstWidth, count, index.data(), shares.data(), 0.55f, line1.data(),
                           sums.data());
                std::vector<Lanes> started(dstWidth);
                adders.start(dstWidth, count, index.data(), shares.data(), 0.45f, line0.data(),
                             started.data());
                sums.insert(sums.end(), started.begin(), started.end());
                results[avx2] = sums;
            }
            ASSERT_TRUE(sameBits(results[0], results[1]))
                << count << " taps, " << dstWidth << " destination pixels";
        }
}
