#include <gtest/gtest.h>

#include "images/decode_test_util.h"
#include "images/image_expectations.h"

namespace {

// Smooth enough for JPEG to keep close to it, with a different colour at
// every edge so that flips show.
TestPicture smoothPicture(int width, int height) {
    TestPicture p;
    p.width = width;
    p.height = height;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            p.rgba.push_back(std::uint8_t(255 * x / (width - 1)));
            p.rgba.push_back(std::uint8_t(255 * y / (height - 1)));
            p.rgba.push_back(128);
            p.rgba.push_back(255);
        }
    return p;
}

const TestPicture kSmooth = smoothPicture(48, 32);

Rgb rgbOf(const TestPicture& p, int x, int y) {
    const auto* px = p.pixel(x, y);
    return {px[0], px[1], px[2]};
}

TEST(JpegDecoder, BaselineAndProgressiveDecodeTheRightWayUp) {
    for (JpegKind kind : {JpegKind::baseline, JpegKind::progressive}) {
        auto image = decode(jpegFile(kSmooth, kind));
        expectPicture(image.get(), 48, 32, [](int x, int y) { return rgbOf(kSmooth, x, y); }, 10);
    }
}

TEST(JpegDecoder, GreyBecomesRgb) {
    auto image = decode(jpegFile(kSmooth, JpegKind::grey));
    expectPicture(image.get(), 48, 32, [](int x, int y) {
        const auto v = kSmooth.pixel(x, y)[0];
        return Rgb{v, v, v};
    }, 10);
}

// Top half red, bottom half white, in CMYK where 255 means full ink.
std::vector<std::uint8_t> redOverWhite(bool inverted) {
    std::vector<std::uint8_t> cmyk;
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) {
            const std::uint8_t ink[4] = {0, std::uint8_t(y < 8 ? 255 : 0), std::uint8_t(y < 8 ? 255 : 0), 0};
            for (auto v : ink) cmyk.push_back(inverted ? std::uint8_t(255 - v) : v);
        }
    return cmyk;
}

Rgb redOverWhiteRgb(int, int y) { return y < 8 ? Rgb{255, 0, 0} : Rgb{255, 255, 255}; }

TEST(JpegDecoder, CmykPlainAdobeInvertedAndYcckBecomeRgb) {
    expectPicture(decode(cmykJpegFile(16, 16, redOverWhite(false), false)).get(), 16, 16,
                  redOverWhiteRgb, 6);
    expectPicture(decode(cmykJpegFile(16, 16, redOverWhite(true), true)).get(), 16, 16,
                  redOverWhiteRgb, 6);
    expectPicture(decode(cmykJpegFile(16, 16, redOverWhite(true), true, true)).get(), 16, 16,
                  redOverWhiteRgb, 6);
}

TEST(JpegDecoder, CutShortIsRefused) {
    const std::string file = jpegFile(kSmooth, JpegKind::baseline);
    EXPECT_EQ(decode(file.substr(0, file.size() * 2 / 3)), nullptr);
    const std::string progressive = jpegFile(kSmooth, JpegKind::progressive);
    EXPECT_EQ(decode(progressive.substr(0, progressive.size() / 2)), nullptr);
}

}  // namespace
