#include <gtest/gtest.h>

#include <vector>

#include "images/decode_test_util.h"
#include "images/image_expectations.h"

namespace {

const TestPicture kOpaque = testPicture(13, 9);
const TestPicture kAlpha = testPicture(13, 9, true);

Rgb rgbOf(const TestPicture& p, int x, int y) {
    const auto* px = p.pixel(x, y);
    return {px[0], px[1], px[2]};
}
auto exact(const TestPicture& p) {
    return [&p](int x, int y) { return rgbOf(p, x, y); };
}
auto composited(const TestPicture& p) {
    return [&p](int x, int y) { return compositeOverBlack(p.pixel(x, y)); };
}

TEST(BmpDecoder, BottomUpAndTopDownTrueColour) {
    expectPicture(decode(bmpFile(kOpaque, 24)).get(), 13, 9, exact(kOpaque));
    expectPicture(decode(bmpFile(kOpaque, 24, true)).get(), 13, 9, exact(kOpaque));
}

TEST(BmpDecoder, ThirtyTwoBitAlphaIsCompositedOverBlack) {
    expectPicture(decode(bmpFile(kAlpha, 32)).get(), 13, 9, composited(kAlpha));
}

TEST(BmpDecoder, PaletteBecomesRgb) {
    const IndexedPicture p = indexedPicture(13, 9, 16);
    expectPicture(decode(bmpPaletteFile(p)).get(), 13, 9, [&](int x, int y) { return p.colour(x, y); });
}

// Headers of every version, palettes a true-colour file does not need,
// pixels where the file header's offset says and bit-field layouts, as
// paint programs, OS/2 and old converters write them.
TEST(BmpDecoder, EveryHeaderAndLayoutVariantShows) {
    const IndexedPicture p256 = indexedPicture(13, 9, 200);
    const IndexedPicture p16 = indexedPicture(13, 9, 16);
    const TestPicture opaqueInAlphaMask = [] {
        TestPicture t = testPicture(13, 9);
        for (std::size_t i = 3; i < t.rgba.size(); i += 4) t.rgba[i] = 0;  // an unused alpha byte
        return t;
    }();
    enum Expect { indexed200, indexed16, opaque, alpha, opaque555 };
    struct Case {
        const char* what;
        BmpVariant v;
        Expect expect;
        const TestPicture* picture = &kOpaque;
    };
    const std::vector<std::uint32_t> bgra = {0x00FF0000, 0x0000FF00, 0x000000FF};
    const std::vector<std::uint32_t> rgbx = {0xFF000000, 0x00FF0000, 0x0000FF00};
    const std::vector<std::uint32_t> withAlpha = {0x0000FF00, 0x00FF0000, 0xFF000000, 0x000000FF};
    const Case cases[] = {
        {"24-bit with an unused palette", {40, 24, 0, {}, 256, 256}, opaque},
        {"24-bit with an uncounted palette", {40, 24, 0, {}, 16, 0}, opaque},
        {"32-bit with an unused palette", {40, 32, 0, {}, 300, 300}, opaque},
        {"16-bit 5-5-5 with a palette", {40, 16, 0, {}, 16, 16}, opaque555},
        {"8-bit with a palette count above 256", {40, 8, 0, {}, 256, 1000}, indexed200},
        {"8-bit with pixels past a gap", {40, 8, 0, {}, 256, 0, 37}, indexed200},
        {"24-bit with pixels past a gap", {40, 24, 0, {}, 0, 0, 10}, opaque},
        {"top-down 8-bit", {40, 8, 0, {}, 200, 200, 0, true}, indexed200},
        {"4-bit", {40, 4, 0, {}, 16, 16}, indexed16},
        {"OS/2 1.x 8-bit", {12, 8, 0, {}, 256}, indexed200},
        {"OS/2 1.x 8-bit with a short palette", {12, 8, 0, {}, 16}, indexed16},
        {"OS/2 1.x 4-bit", {12, 4, 0, {}, 16}, indexed16},
        {"OS/2 1.x 24-bit", {12, 24, 0, {}, 0}, opaque},
        {"OS/2 2.x 8-bit", {64, 8, 0, {}, 256, 0}, indexed200},
        {"OS/2 2.x 8-bit with a short palette", {64, 8, 0, {}, 16, 16}, indexed16},
        {"OS/2 2.x 24-bit", {64, 24, 0, {}, 0, 0}, opaque},
        {"OS/2 2.x short header, 24-bit", {16, 24, 0, {}, 0, 0}, opaque},
        {"32-bit bit fields after the header", {40, 32, 3, bgra}, opaque},
        {"32-bit bit fields, red in the top byte", {40, 32, 3, rgbx}, opaque},
        {"32-bit bit fields with a palette", {40, 32, 3, rgbx, 16, 16}, opaque},
        {"32-bit alpha bit fields after the header", {40, 32, 6, withAlpha}, alpha, &kAlpha},
        {"version 3 header with an alpha mask", {56, 32, 3, withAlpha}, alpha, &kAlpha},
        {"version 4 header with an alpha mask", {108, 32, 3, withAlpha}, alpha, &kAlpha},
        {"version 5 header, alpha byte all zero", {124, 32, 3, withAlpha}, opaque, &opaqueInAlphaMask},
        {"version 2 header with colour masks", {52, 32, 3, rgbx}, opaque},
        {"16-bit 5-6-5 bit fields", {40, 16, 3, {0xF800, 0x07E0, 0x001F}}, opaque555},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const IndexedPicture& indexed = c.expect == indexed16 ? p16 : p256;
        auto image = decode(bmpVariantFile(*c.picture, indexed, c.v));
        switch (c.expect) {
            case indexed200:
            case indexed16:
                expectPicture(image.get(), 13, 9, [&](int x, int y) { return indexed.colour(x, y); });
                break;
            case opaque: expectPicture(image.get(), 13, 9, exact(kOpaque)); break;
            case alpha: expectPicture(image.get(), 13, 9, composited(kAlpha)); break;
            case opaque555:  // five or six bits a channel, stretched to eight
                expectPicture(image.get(), 13, 9, exact(kOpaque), 8);
                break;
        }
    }
}

TEST(BmpDecoder, OnlyTheLastRowsPaddingMayBeMissing) {
    const std::string file = bmpFile(kOpaque, 24);  // rows of 39 bytes padded to 40
    expectPicture(decode(file.substr(0, file.size() - 1)).get(), 13, 9, exact(kOpaque));
    EXPECT_EQ(decode(file.substr(0, file.size() - 2)), nullptr);
}

TEST(TgaDecoder, TrueColourRawAndRunLengthBothOrientations) {
    for (bool runLength : {false, true})
        for (bool topDown : {false, true}) {
            SCOPED_TRACE(testing::Message() << "rle " << runLength << " top-down " << topDown);
            expectPicture(decode(tgaFile(kOpaque, 24, runLength, topDown)).get(), 13, 9, exact(kOpaque));
            expectPicture(decode(tgaFile(kAlpha, 32, runLength, topDown)).get(), 13, 9, composited(kAlpha));
        }
}

// Alpha that is zero throughout means the writer never set it: the picture
// is shown opaque. One pixel with alpha makes all of it count.
TEST(TgaDecoder, AlphaZeroThroughoutIsOpaque) {
    TestPicture unset = kOpaque;
    for (std::size_t i = 3; i < unset.rgba.size(); i += 4) unset.rgba[i] = 0;
    TestPicture onePixel = unset;
    onePixel.rgba[3] = 255;
    for (bool runLength : {false, true}) {
        SCOPED_TRACE(testing::Message() << "rle " << runLength);
        expectPicture(decode(tgaFile(unset, 32, runLength)).get(), 13, 9, exact(unset));
        expectPicture(decode(tgaFile(onePixel, 32, runLength)).get(), 13, 9, composited(onePixel));
    }
}

TEST(TgaDecoder, RunLengthPacketsOfRepeatedPixels) {
    TestPicture flat = testPicture(40, 5);
    for (std::size_t i = 0; i < flat.rgba.size(); ++i) flat.rgba[i] = std::uint8_t(i / 4 / 50 * 60 + i % 4);
    const std::string file = tgaFile(flat, 24, true);
    EXPECT_LT(file.size(), 18 + 40 * 5 * 3 / 4);  // runs were really used
    expectPicture(decode(file).get(), 40, 5, exact(flat));
}

TEST(TgaDecoder, GreyAndColourMapped) {
    for (bool runLength : {false, true})
        expectPicture(decode(tgaGreyFile(kOpaque, runLength)).get(), 13, 9, [](int x, int y) {
            const auto v = kOpaque.pixel(x, y)[0];
            return Rgb{v, v, v};
        });
    const IndexedPicture p = indexedPicture(13, 9, 16);
    expectPicture(decode(tgaMappedFile(p)).get(), 13, 9, [&](int x, int y) { return p.colour(x, y); });
}

TEST(TgaDecoder, CutShortRawOrRunLengthIsRefused) {
    for (bool runLength : {false, true}) {
        const std::string file = tgaFile(kOpaque, 24, runLength);
        EXPECT_EQ(decode(file.substr(0, file.size() - 1)), nullptr) << runLength;
    }
}

TEST(TgaDecoder, NeverClaimsTiffBytes) {
    // TIFF files are left to the TIFF reader whatever their bytes say.
    std::string tiffLike("II*\0\x08\x00\x01\x00\x18\x00\x00\x00\x00\x01\x00\x00\x00\x00", 18);
    tiffLike += std::string(600, '\x10');
    EXPECT_EQ(decode(tiffLike), nullptr);
}

}  // namespace
