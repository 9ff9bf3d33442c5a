#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "images/decode_test_util.h"
#include "images/image_expectations.h"

namespace {

const TestPicture kOpaque = testPicture(13, 9);
const TestPicture kAlpha = testPicture(13, 9, true);

auto exact(const TestPicture& p) {
    return [&p](int x, int y) { const auto* px = p.pixel(x, y); return Rgb{px[0], px[1], px[2]}; };
}
auto greyOf(const TestPicture& p) {
    return [&p](int x, int y) { const auto v = p.pixel(x, y)[0]; return Rgb{v, v, v}; };
}

TEST(PngDecoder, RgbIsExactAndBottomRowFirst) {
    auto image = decode(pngFile(kOpaque, PngLayout::rgb));
    expectPicture(image.get(), 13, 9, exact(kOpaque));
    // Buffer row 0 is the picture's bottom row.
    EXPECT_EQ(image->pixels[0], kOpaque.pixel(0, 8)[0]);
}

TEST(PngDecoder, GreyAndSixteenBitBecomeEightBitRgb) {
    expectPicture(decode(pngFile(kOpaque, PngLayout::grey)).get(), 13, 9, greyOf(kOpaque));
    expectPicture(decode(pngFile(kOpaque, PngLayout::rgb16)).get(), 13, 9, exact(kOpaque));
    expectPicture(decode(pngFile(kOpaque, PngLayout::grey16)).get(), 13, 9, greyOf(kOpaque));
}

TEST(PngDecoder, AlphaIsCompositedOverBlack) {
    for (bool interlaced : {false, true}) {
        auto image = decode(pngFile(kAlpha, PngLayout::rgba, interlaced));
        ASSERT_NE(image, nullptr);
        for (int y = 0; y < 9; ++y)
            for (int x = 0; x < 13; ++x) {
                const auto* px = kAlpha.pixel(x, y);
                const Rgb got = pixelFromTop(*image, x, y);
                if (px[3] == 255) {
                    EXPECT_EQ(got, (Rgb{px[0], px[1], px[2]}));
                }
                if (px[3] == 0) {
                    EXPECT_EQ(got, (Rgb{0, 0, 0}));
                }
                for (int c = 0; c < 3; ++c) EXPECT_LE(got[c], px[c]);
            }
    }
    auto grey = decode(pngFile(kAlpha, PngLayout::greyAlpha));
    ASSERT_NE(grey, nullptr);
    EXPECT_EQ(pixelFromTop(*grey, 0, 0), (Rgb{0, 0, 0}));  // alpha 0
    const auto v = kAlpha.pixel(1, 0)[0];                  // alpha 255
    EXPECT_EQ(pixelFromTop(*grey, 1, 0), (Rgb{v, v, v}));
}

// As a browser shows them: each stored value times its alpha, not a blend
// in linear light, which would make translucent areas far brighter.
TEST(PngDecoder, TranslucentPixelsAreCompositedInTheirEncodedValues) {
    struct Case {
        PngLayout layout;
        bool interlaced;
    };
    const Case cases[] = {{PngLayout::rgba, false}, {PngLayout::rgba, true},
                          {PngLayout::greyAlpha, false}, {PngLayout::greyAlpha, true},
                          {PngLayout::rgba16, false}, {PngLayout::rgba16, true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << int(c.layout) << (c.interlaced ? " interlaced" : ""));
        const bool grey = c.layout == PngLayout::greyAlpha;
        expectPicture(decode(pngFile(kAlpha, c.layout, c.interlaced)).get(), 13, 9, [&](int x, int y) {
            std::uint8_t px[4];
            std::copy_n(kAlpha.pixel(x, y), 4, px);
            if (grey) px[1] = px[2] = px[0];
            return compositeOverBlack(px);
        });
    }
}

// Most translucent 8-bit wallpapers are a palette with partial alphas in
// tRNS: the same rule.
TEST(PngDecoder, PaletteWithPartialAlphasIsCompositedInItsEncodedValues) {
    const IndexedPicture picture = indexedPicture(13, 9, 16);
    std::string alphas;
    for (int i = 0; i < 16; ++i) alphas += char(i * 17);
    // tRNS goes after PLTE, before the data.
    const std::string file = withPngChunk(pngPaletteFile(picture, 8), "tRNS", alphas, "IDAT");
    expectPicture(decode(file).get(), 13, 9, [&](int x, int y) {
        const Rgb colour = picture.colour(x, y);
        const std::uint8_t px[4] = {colour[0], colour[1], colour[2],
                                    std::uint8_t(picture.indices[std::size_t(y) * 13 + x] * 17)};
        return compositeOverBlack(px);
    });
}

// A file stored in linear light (gAMA 1.0) is still brought to the screen's
// gamma before its alpha is applied, as an opaque one is.
TEST(PngDecoder, GammaIsAppliedToColoursUnderAlpha) {
    const std::string linear("\x00\x01\x86\xA0", 4);  // 100000: gamma 1.0
    auto encoded = [](std::uint8_t v) { return std::pow(v / 255.0, 1 / 2.2) * 255.0; };
    for (bool alpha : {false, true}) {
        SCOPED_TRACE(alpha);
        const TestPicture& p = alpha ? kAlpha : kOpaque;
        const std::string file = withPngChunk(pngFile(p, alpha ? PngLayout::rgba : PngLayout::rgb), "gAMA", linear);
        expectPicture(decode(file).get(), 13, 9, [&](int x, int y) {
            const auto* px = p.pixel(x, y);
            Rgb out;
            for (int c = 0; c < 3; ++c) out[c] = std::uint8_t(std::lround(encoded(px[c]) * px[3] / 255.0));
            return out;
        }, 3);
    }
}

TEST(PngDecoder, InterlacedMatchesStraight) {
    expectPicture(decode(pngFile(kOpaque, PngLayout::rgb, true)).get(), 13, 9, exact(kOpaque));
}

// Every Adam7 pass leaves gaps in a picture of this size, in rows and
// columns alike; the straight file of the same picture is the reference.
TEST(PngDecoder, SixteenBitInterlacedMatchesStraight) {
    const TestPicture opaque = testPicture(37, 23);
    const TestPicture alpha = testPicture(37, 23, true);
    struct Case {
        PngLayout layout;
        const TestPicture& picture;
    };
    for (const Case& c : {Case{PngLayout::grey16, opaque}, Case{PngLayout::rgb16, opaque},
                          Case{PngLayout::rgba16, alpha}}) {
        SCOPED_TRACE(int(c.layout));
        auto straight = decode(pngFile(c.picture, c.layout, false));
        auto interlaced = decode(pngFile(c.picture, c.layout, true));
        ASSERT_NE(straight, nullptr);
        expectPicture(interlaced.get(), 37, 23, [&](int x, int y) { return pixelFromTop(*straight, x, y); });
        if (c.layout == PngLayout::grey16) expectPicture(interlaced.get(), 37, 23, greyOf(c.picture));
        if (c.layout == PngLayout::rgb16) expectPicture(interlaced.get(), 37, 23, exact(c.picture));
    }
}

TEST(PngDecoder, PaletteOfEveryDepthWithTransparentIndex) {
    for (int depth : {1, 2, 4, 8}) {
        const IndexedPicture p = indexedPicture(13, 9, 1 << (depth < 8 ? depth : 7));
        expectPicture(decode(pngPaletteFile(p, depth)).get(), 13, 9,
                      [&](int x, int y) { return p.colour(x, y); });
        auto transparent = decode(pngPaletteFile(p, depth, 1));
        expectPicture(transparent.get(), 13, 9, [&](int x, int y) {
            return p.indices[std::size_t(y) * 13 + x] == 1 ? Rgb{0, 0, 0} : p.colour(x, y);
        });
    }
}

// Interlaced files with alpha are composited pass by pass; pictures this
// small leave whole passes empty, in rows, in columns or both.
TEST(PngDecoder, InterlacedWithAlphaMatchesStraightAtEverySize) {
    const int sizes[][2] = {{1, 1}, {2, 3}, {5, 1}, {1, 6}, {9, 9}, {37, 23}};
    for (const auto& size : sizes)
        for (PngLayout layout : {PngLayout::rgba, PngLayout::greyAlpha}) {
            SCOPED_TRACE(std::to_string(size[0]) + "x" + std::to_string(size[1]));
            const TestPicture picture = testPicture(size[0], size[1], true);
            auto straight = decode(pngFile(picture, layout, false));
            ASSERT_NE(straight, nullptr);
            expectPicture(decode(pngFile(picture, layout, true)).get(), size[0], size[1],
                          [&](int x, int y) { return pixelFromTop(*straight, x, y); });
        }
}

}  // namespace
