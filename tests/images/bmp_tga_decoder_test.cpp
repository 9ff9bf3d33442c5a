#include <gtest/gtest.h>

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

TEST(TgaDecoder, TrueColourRawAndRunLengthBothOrientations) {
    for (bool runLength : {false, true})
        for (bool topDown : {false, true}) {
            SCOPED_TRACE(testing::Message() << "rle " << runLength << " top-down " << topDown);
            expectPicture(decode(tgaFile(kOpaque, 24, runLength, topDown)).get(), 13, 9, exact(kOpaque));
            expectPicture(decode(tgaFile(kAlpha, 32, runLength, topDown)).get(), 13, 9, composited(kAlpha));
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
