// PNG files with a gamma other than the display's, with and without alpha,
// at 16 bits: converted to the display's encoding on the full samples
// first, then composited over black, as browsers show them.
#include <gtest/gtest.h>
#include <png.h>

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "images/decode_test_util.h"

namespace {

void appendToString(png_structp png, png_bytep data, std::size_t length) {
    static_cast<std::string*>(png_get_io_ptr(png))->append(reinterpret_cast<const char*>(data), length);
}
void flushNothing(png_structp) {}

// A 16-bit file of `channels` samples a pixel (1 grey, 2 grey and alpha,
// 3 RGB, 4 RGBA), `gamma` as gAMA stores it (0: no chunk).
std::string deepPng(int width, int height, int channels, const std::vector<std::uint16_t>& samples,
                    png_uint_32 gamma, bool interlaced = false) {
    std::string out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return {};
    }
    static const int kTypes[] = {PNG_COLOR_TYPE_GRAY, PNG_COLOR_TYPE_GRAY_ALPHA, PNG_COLOR_TYPE_RGB,
                                 PNG_COLOR_TYPE_RGB_ALPHA};
    png_set_write_fn(png, &out, appendToString, flushNothing);
    png_set_IHDR(png, info, png_uint_32(width), png_uint_32(height), 16, kTypes[channels - 1],
                 interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    if (gamma) png_set_gAMA_fixed(png, info, png_fixed_point(gamma));
    png_write_info(png, info);
    // Big-endian samples, as the file stores them.
    std::vector<png_byte> bytes;
    for (std::uint16_t v : samples) {
        bytes.push_back(png_byte(v >> 8));
        bytes.push_back(png_byte(v & 0xFF));
    }
    std::vector<png_bytep> rows;
    for (int y = 0; y < height; ++y) rows.push_back(bytes.data() + std::size_t(y) * width * channels * 2);
    png_write_image(png, rows.data());
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return out;
}

// Dark values, where gamma 1.0 changes most: 8-bit steps in linear light
// there are more than ten levels apart on the display.
std::uint16_t sample(int i) { return std::uint16_t(i * i * 23 % 65536); }

}  // namespace

TEST(PngGamma, SixteenBitSamplesKeepTheirPrecisionThroughGamma) {
    struct Row {
        const char* name;
        int channels;
        png_uint_32 gamma;  // 100000 = 1.0
        bool interlaced;
    };
    const Row table[] = {
        {"grey, linear", 1, 100000, false},   // as PngSuite's basn0g16
        {"rgb, linear", 3, 100000, false},
        {"grey and alpha, linear", 2, 100000, false},
        {"rgba, gamma 1.8", 4, 55556, false},
        {"rgba, linear, interlaced", 4, 100000, true},
        {"rgba, no gamma chunk", 4, 0, false},
    };
    constexpr int kWidth = 23, kHeight = 7;
    for (const Row& row : table) {
        SCOPED_TRACE(row.name);
        std::vector<std::uint16_t> samples;
        for (int i = 0; i < kWidth * kHeight * row.channels; ++i) samples.push_back(sample(i));
        const bool alpha = row.channels % 2 == 0;
        if (alpha)  // alphas through the whole range, opaque ones among them
            for (std::size_t i = std::size_t(row.channels) - 1; i < samples.size(); i += std::size_t(row.channels))
                samples[i] = std::uint16_t(i % 3 == 0 ? 65535 : 65535 - i * 211 % 65536);
        auto image = decode(deepPng(kWidth, kHeight, row.channels, samples, row.gamma, row.interlaced));
        ASSERT_TRUE(image);
        // The display's encoding of each sample, then its alpha, then 8 bits.
        const double exponent = row.gamma ? 100000.0 / row.gamma / 2.2 : 1.0;
        int worst = 0;
        for (int y = 0; y < kHeight; ++y)
            for (int x = 0; x < kWidth; ++x) {
                const std::size_t at = (std::size_t(y) * kWidth + x) * std::size_t(row.channels);
                const double a = alpha ? samples[at + std::size_t(row.channels) - 1] / 65535.0 : 1.0;
                for (int c = 0; c < 3; ++c) {
                    const std::uint16_t v = samples[at + (row.channels >= 3 ? std::size_t(c) : 0)];
                    const double want = std::pow(v / 65535.0, exponent) * a * 255.0;
                    const int got = image->row(kHeight - 1 - y)[x * 3 + c];
                    worst = std::max(worst, int(std::lround(std::abs(got - want))));
                }
            }
        EXPECT_LE(worst, 1);
    }
}
