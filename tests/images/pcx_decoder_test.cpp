#include <gtest/gtest.h>

#include "images/decode_test_util.h"
#include "images/image_expectations.h"

namespace {

void expectIndexed(const std::string& file, const IndexedPicture& p) {
    expectPicture(decode(file).get(), p.width, p.height, [&](int x, int y) { return p.colour(x, y); });
}

TEST(PcxDecoder, EveryPaletteLayoutRawAndRunLength) {
    struct Case {
        PcxLayout layout;
        int colours;
    };
    for (const Case c : {Case{PcxLayout::mono, 2}, Case{PcxLayout::planar16, 16},
                         Case{PcxLayout::packed4Colours, 4}, Case{PcxLayout::packed16Colours, 16},
                         Case{PcxLayout::palette256, 256}}) {
        // Odd widths leave padding bits and bytes at the end of every line.
        const IndexedPicture p = indexedPicture(21, 7, c.colours);
        for (bool runLength : {true, false}) {
            SCOPED_TRACE(testing::Message() << int(c.layout) << " rle " << runLength);
            expectIndexed(pcxFile(p, c.layout, runLength), p);
        }
    }
}

TEST(PcxDecoder, MonochromeWithoutPaletteIsBlackOnWhite) {
    IndexedPicture p = indexedPicture(10, 3, 2);
    p.palette = {Rgb{0, 0, 0}, Rgb{0, 0, 0}};
    std::string file = pcxFile(p, PcxLayout::mono);
    p.palette = {Rgb{0, 0, 0}, Rgb{255, 255, 255}};
    expectIndexed(file, p);
}

TEST(PcxDecoder, TrueColourThreePlanes) {
    const TestPicture p = testPicture(11, 6);
    for (bool runLength : {true, false})
        expectPicture(decode(pcxTrueColourFile(p, runLength)).get(), 11, 6, [&](int x, int y) {
            const auto* px = p.pixel(x, y);
            return Rgb{px[0], px[1], px[2]};
        });
}

TEST(PcxDecoder, ThreeOneBitPlanesAreEightColours) {
    const IndexedPicture p = indexedPicture(16, 3, 8);
    const std::string fourPlanes = pcxFile(p, PcxLayout::planar16, false);
    // Drop the fourth plane, which holds only zeros for indices below 8.
    std::string file = fourPlanes.substr(0, 128);
    file[65] = 3;
    for (int y = 0; y < 3; ++y) file += fourPlanes.substr(128 + y * 8, 6);
    expectIndexed(file, p);
}

TEST(PcxDecoder, RunsCrossingLineEndsAreFollowed) {
    // One run of 40 bytes covers both 20-byte lines of a flat 8-bit picture.
    IndexedPicture p = indexedPicture(20, 2, 1);
    std::string file = pcxFile(p, PcxLayout::palette256);
    const std::string palette = file.substr(file.size() - 769);
    file = file.substr(0, 128) + std::string("\xE8\x00", 2) + palette;
    expectIndexed(file, p);
}

TEST(PcxDecoder, MissingPaletteOrDataIsRefused) {
    const IndexedPicture p = indexedPicture(21, 7, 256);
    const std::string file = pcxFile(p, PcxLayout::palette256);
    EXPECT_EQ(decode(file.substr(0, file.size() - 769)), nullptr);
    const std::string raw = pcxFile(indexedPicture(21, 7, 16), PcxLayout::packed16Colours, false);
    EXPECT_EQ(decode(raw.substr(0, raw.size() - 1)), nullptr);
}

}  // namespace
