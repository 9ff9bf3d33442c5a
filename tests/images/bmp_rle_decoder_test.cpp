#include <gtest/gtest.h>

#include <optional>

#include "images/decode_test_util.h"
#include "images/image_expectations.h"

namespace {

TEST(BmpRunLength, FilesAsPaintProgramsWriteThem) {
    for (int bits : {8, 4}) {
        SCOPED_TRACE(bits);
        const IndexedPicture p = runLengthPicture(13, 9, bits == 8 ? 200 : 16);
        const std::string file = bmpRunLengthFile(p, bits);
        expectPicture(decode(file).get(), 13, 9, [&](int x, int y) { return p.colour(x, y); });
        // A picture cut before its last row is refused, not shown half black.
        EXPECT_EQ(decode(file.substr(0, file.size() - 20)), nullptr);
    }
}

// Streams made by hand for a 4 x 2 picture. Expected indices are given top
// row first; -1 is a pixel the stream never reaches (black).
struct OddStream {
    const char* what;
    int bits;
    std::string stream;
    std::optional<std::vector<int>> expected;  // none: refused
};

std::string bytes(std::initializer_list<int> values) {
    std::string s;
    for (int v : values) s += char(v);
    return s;
}

TEST(BmpRunLength, OddStreamsStayInsideThePicture) {
    const std::vector<Rgb> palette = {Rgb{10, 20, 30}, Rgb{200, 0, 0}, Rgb{0, 200, 0}, Rgb{0, 0, 200}};
    const OddStream cases[] = {
        {"delta past the right edge", 8, bytes({2, 1, 0, 2, 5, 0, 1, 2, 0, 0, 4, 3, 0, 1}),
         std::vector<int>{3, 3, 3, 3, 1, 1, -1, -1}},
        {"delta past the top", 8, bytes({4, 1, 0, 2, 0, 5, 4, 2}),
         std::vector<int>{-1, -1, -1, -1, 1, 1, 1, 1}},
        {"run longer than the row", 8, bytes({9, 1, 0, 0, 4, 2, 0, 1}),
         std::vector<int>{2, 2, 2, 2, 1, 1, 1, 1}},
        {"absolute run longer than the row", 8, bytes({0, 5, 1, 2, 3, 1, 2, 0, 0, 0, 4, 2, 0, 1}),
         std::vector<int>{2, 2, 2, 2, 1, 2, 3, 1}},
        {"early end of line and bitmap", 8, bytes({2, 1, 0, 0, 1, 3, 0, 1}),
         std::vector<int>{3, -1, -1, -1, 1, 1, -1, -1}},
        {"no end code after the last row", 8, bytes({4, 1, 0, 0, 4, 2}),
         std::vector<int>{2, 2, 2, 2, 1, 1, 1, 1}},
        {"index beyond the palette", 8, bytes({4, 7, 0, 0, 4, 2, 0, 1}),
         std::vector<int>{2, 2, 2, 2, -1, -1, -1, -1}},
        {"four-bit runs take turns, absolute runs are padded", 4,
         bytes({4, 0x12, 0, 0, 0, 3, 0x31, 0x20, 0, 1}), std::vector<int>{3, 1, 2, -1, 1, 2, 1, 2}},
        {"four-bit run across the right edge keeps its turns", 4, bytes({3, 0x12, 5, 0x30, 0, 0, 4, 0x12, 0, 1}),
         std::vector<int>{1, 2, 1, 2, 1, 2, 1, 3}},
        {"runs far past the right edge stop there", 8, bytes({255, 1, 255, 2, 255, 3, 0, 0, 2, 3, 0, 3, 1, 2, 3, 0, 0, 1}),
         std::vector<int>{3, 3, 1, 2, 1, 1, 1, 1}},
        {"data ends before the last row", 8, bytes({4, 1, 0, 0}), std::nullopt},
        {"absolute run cut short", 8, bytes({4, 1, 0, 0, 0, 4, 1, 2}), std::nullopt},
        {"delta cut short", 8, bytes({4, 1, 0, 2, 1}), std::nullopt},
    };
    for (const OddStream& c : cases) {
        SCOPED_TRACE(c.what);
        auto image = decode(bmpRunLengthStream(4, 2, c.bits, palette, c.stream));
        if (!c.expected) {
            EXPECT_EQ(image, nullptr);
            continue;
        }
        expectPicture(image.get(), 4, 2, [&](int x, int y) {
            const int index = (*c.expected)[std::size_t(y) * 4 + x];
            return index < 0 ? Rgb{0, 0, 0} : palette[std::size_t(index)];
        });
    }
}

}  // namespace
