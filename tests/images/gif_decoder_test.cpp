#include <gtest/gtest.h>

#include <stdexcept>

#include "images/decode_test_util.h"
#include "images/image_expectations.h"

namespace {

TEST(GifDecoder, PaletteBecomesRgbTheRightWayUp) {
    const IndexedPicture p = indexedPicture(13, 9, 16);
    expectPicture(decode(gifFile(p, false)).get(), 13, 9, [&](int x, int y) { return p.colour(x, y); });
}

TEST(GifDecoder, InterlacedRowsLandInPlace) {
    // 19 rows reach every pass of the interlace.
    const IndexedPicture p = indexedPicture(7, 19, 32);
    expectPicture(decode(gifFile(p, true)).get(), 7, 19, [&](int x, int y) { return p.colour(x, y); });
}

TEST(GifDecoder, TransparentIndexIsBlack) {
    const IndexedPicture p = indexedPicture(13, 9, 16);
    expectPicture(decode(gifFile(p, false, 5)).get(), 13, 9, [&](int x, int y) {
        return p.indices[std::size_t(y) * 13 + x] == 5 ? Rgb{0, 0, 0} : p.colour(x, y);
    });
}

TEST(GifDecoder, FrameSitsOnItsLogicalScreen) {
    const IndexedPicture p = indexedPicture(5, 4, 4);
    expectPicture(decode(gifFile(p, false, -1, 2, 3, 10, 8)).get(), 10, 8, [&](int x, int y) {
        const bool inside = x >= 2 && x < 7 && y >= 3 && y < 7;
        return inside ? p.colour(x - 2, y - 3) : Rgb{0, 0, 0};
    });
    // A frame that overflows its screen is shown alone.
    expectPicture(decode(gifFile(p, false, -1, 4, 4, 6, 6)).get(), 5, 4,
                  [&](int x, int y) { return p.colour(x, y); });
}

// giflib's file of `picture` with its global colour table taken out: the
// screen descriptor's table flag cleared and the table's bytes dropped.
std::string withoutColourTable(const std::string& gif) {
    const unsigned char flags = static_cast<unsigned char>(gif[10]);
    if (!(flags & 0x80)) throw std::runtime_error("no global table");
    const std::size_t tableBytes = 3u << ((flags & 7) + 1);
    std::string out = gif.substr(0, 13) + gif.substr(13 + tableBytes);
    out[10] = char(flags & 0x7F);
    return out;
}

TEST(GifDecoder, WithoutAnyColourTableShowsBlackAndWhite) {
    const IndexedPicture p = indexedPicture(13, 9, 4);
    const Rgb expected[] = {{0, 0, 0}, {255, 255, 255}, {0, 0, 0}, {0, 0, 0}};
    for (bool interlaced : {false, true}) {
        SCOPED_TRACE(interlaced);
        expectPicture(decode(withoutColourTable(gifFile(p, interlaced))).get(), 13, 9,
                      [&](int x, int y) { return expected[p.indices[std::size_t(y) * 13 + x]]; });
    }
}

}  // namespace
