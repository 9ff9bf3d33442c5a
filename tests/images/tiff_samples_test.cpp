#include "images/tiff_samples.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

#include "tiff_fixtures.h"
#include "tiff_random_guard.h"

namespace {

std::vector<unsigned char> convert(const std::vector<unsigned char>& source, int bytes,
                                   TiffSampleKind kind = TiffSampleKind::unsignedInteger) {
    std::vector<unsigned char> out(source.size() / bytes, 0xAA);
    convertSamples(out.size(), bytes, source.data(), out.data(), 1, kind);
    return out;
}

std::vector<unsigned char> convertFloats(std::initializer_list<float> values) {
    return convert(sampleBytes(values), 4, TiffSampleKind::ieeeFloat);
}

}  // namespace

TEST(TiffConvertSamples, EightBitCopiedAndStepInterleaves) {
    const std::vector<unsigned char> source{0, 1, 127, 128, 254, 255};
    std::vector<unsigned char> out(source.size() * 3, 0xAA);
    convertSamples(source.size(), 1, source.data(), out.data() + 1, 3,
                   TiffSampleKind::unsignedInteger);
    for (std::size_t i = 0; i < source.size(); ++i) {
        EXPECT_EQ(out[i * 3], 0xAA);
        EXPECT_EQ(out[i * 3 + 1], source[i]);
        EXPECT_EQ(out[i * 3 + 2], 0xAA);
    }
}

TEST(TiffConvertSamples, SixteenBitRoundsToNearestLevel) {
    EXPECT_EQ(convert(sampleBytes<std::uint16_t>({0, 128, 129, 65534, 65535}), 2),
              (std::vector<unsigned char>{0, 0, 1, 255, 255}));

    std::vector<std::uint16_t> every(65536);
    for (std::size_t v = 0; v < every.size(); ++v) every[v] = static_cast<std::uint16_t>(v);
    const auto out = convert(sampleBytes(every), 2);
    for (std::size_t v = 0; v < every.size(); ++v)
        ASSERT_LE(std::abs(static_cast<double>(out[v]) * 257.0 - static_cast<double>(v)), 128.5)
            << "sample " << v;
}

TEST(TiffConvertSamples, ThirtyTwoBitUnsignedRoundsExactly) {
    // One level spans exactly 16843009 (= (2^32 - 1) / 255) input values.
    constexpr std::uint32_t kStep = 16843009;
    constexpr std::uint32_t kHalf = kStep / 2;  // level k ends at k * kStep + kHalf
    std::vector<std::uint32_t> values;
    std::vector<unsigned char> expected;
    for (std::uint32_t k = 0; k < 256; ++k) {
        values.push_back(k * kStep);
        expected.push_back(static_cast<unsigned char>(k));
        if (k < 255) {
            values.push_back(k * kStep + kHalf);
            expected.push_back(static_cast<unsigned char>(k));
            values.push_back(k * kStep + kHalf + 1);
            expected.push_back(static_cast<unsigned char>(k + 1));
        }
    }
    values.push_back(0xFFFFFFFFu);
    expected.push_back(255);
    // Read as a float, 0x3F800000 would be 1.0 and come out as 254 or 255.
    values.push_back(0x3F800000u);
    expected.push_back(63);
    EXPECT_EQ(convert(sampleBytes(values), 4, TiffSampleKind::unsignedInteger), expected);
}

TEST(TiffConvertSamples, FloatDitherFollowsTheDraw) {
    {
        RandomSourceGuard random(kDrawBelowHalf);
        EXPECT_EQ(convertFloats({0.0f, 1.0f, 2.0f, -1.0f, 0.5f}),
                  (std::vector<unsigned char>{0, 254, 255, 0, 127}));
    }
    {
        RandomSourceGuard random(kDrawAboveHalf);
        EXPECT_EQ(convertFloats({0.0f, 1.0f, 2.0f, -1.0f, 0.5f}),
                  (std::vector<unsigned char>{0, 255, 255, 0, 127}));
    }
    {
        RandomSourceGuard random(0);  // r = 0
        EXPECT_EQ(convertFloats({0.0f, 1.0f, 100.0f / 255.0f}),
                  (std::vector<unsigned char>{0, 254, 99}));
    }
    {
        RandomSourceGuard random(32767);  // r = 1
        EXPECT_EQ(convertFloats({0.0f, 1.0f, 0.5f, 100.0f / 255.0f}),
                  (std::vector<unsigned char>{0, 255, 128, 100}));
    }
}

TEST(TiffConvertSamples, FloatOutliersClampWithoutFault) {
    RandomSourceGuard random(32767);
    const float inf = std::numeric_limits<float>::infinity();
    const float nan = std::numeric_limits<float>::quiet_NaN();
    EXPECT_EQ(convertFloats({nan, -nan, inf, -inf, std::numeric_limits<float>::max(),
                             std::numeric_limits<float>::lowest(),
                             std::numeric_limits<float>::denorm_min()}),
              (std::vector<unsigned char>{0, 0, 255, 0, 255, 0, 0}));
}

TEST(TiffConvertSamples, EveryFloatSampleTakesItsOwnDraw) {
    int draws = 0;
    RandomSourceGuard random([&draws] {
        // Alternating draws: 1.0 then comes out 254, 255, 254, ...
        return (draws++ % 2) ? kDrawAboveHalf : kDrawBelowHalf;
    });
    const float nan = std::numeric_limits<float>::quiet_NaN();
    EXPECT_EQ(convertFloats({1.0f, 1.0f, nan, 1.0f, 1.0f, -5.0f, 1.0f}),
              (std::vector<unsigned char>{254, 255, 0, 255, 254, 0, 254}));
    EXPECT_EQ(draws, 7);

    draws = 0;
    convert(sampleBytes<std::uint32_t>({1, 2, 3}), 4, TiffSampleKind::unsignedInteger);
    convert(sampleBytes<std::uint16_t>({1, 2, 3}), 2);
    EXPECT_EQ(draws, 0);
}

TEST(TiffConvertSamples, UnalignedSourceAndOtherSizes) {
    // Scanline samples need not be aligned for their type.
    std::vector<unsigned char> source(1 + 2 * 3);
    const auto wide = sampleBytes<std::uint16_t>({0, 32896, 65535});
    std::copy(wide.begin(), wide.end(), source.begin() + 1);
    std::vector<unsigned char> out(3);
    convertSamples(3, 2, source.data() + 1, out.data(), 1, TiffSampleKind::unsignedInteger);
    EXPECT_EQ(out, (std::vector<unsigned char>{0, 128, 255}));

    std::vector<unsigned char> untouched(4, 0xAA);
    convertSamples(4, 3, source.data(), untouched.data(), 1, TiffSampleKind::unsignedInteger);
    convertSamples(4, 8, source.data(), untouched.data(), 1, TiffSampleKind::ieeeFloat);
    EXPECT_EQ(untouched, std::vector<unsigned char>(4, 0xAA));
}
