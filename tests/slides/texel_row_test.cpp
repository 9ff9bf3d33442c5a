#include "slides/texel_row.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

// Wherever a block starts and however wide the picture, the texels three or
// more from every edge are the picture's pixels, opaque; the ramps' alphas
// are 0, 85 and 170 by distance, and beyond the right edge all is clear.
TEST(TexelRow, InnerTexelsAreThePixelsOpaqueRampsAndMarginFollowTheEdges) {
    std::mt19937 random(3);
    for (int width : {4, 5, 7, 8, 9, 13, 17, 40}) {
        const int height = 8;
        auto image = makeRGBImage(width, height);
        ASSERT_TRUE(image);
        for (int i = 0; i < width * height * 3; ++i)
            image->pixels[i] = static_cast<unsigned char>(random());
        for (int x0 : {0, 1, 3, 6})
            for (int y : {1, 3, 4}) {
                const int count = width + 2 - std::min(x0, width);
                std::vector<unsigned char> out(static_cast<std::size_t>(count) * 4 + 1, 0xA5);
                writeTexelRow(*image, x0, y, count, out.data());
                ASSERT_EQ(out.back(), 0xA5) << "wrote past the block";
                const int dy = std::min(y, height - y);
                for (int x = x0; x < x0 + count; ++x) {
                    const unsigned char* t = out.data() + (x - x0) * 4;
                    const int d = std::min({x, width - x, dy});
                    const unsigned char* p = image->row(y) + 3 * x;
                    if (x >= width) {
                        EXPECT_EQ(t[3], 0) << width << " wide, column " << x;
                    } else if (d >= 3) {
                        ASSERT_TRUE(t[0] == p[0] && t[1] == p[1] && t[2] == p[2] && t[3] == 255)
                            << width << " wide, block at " << x0 << ", row " << y << ", column " << x;
                    } else {
                        EXPECT_EQ(t[3], d * 85) << width << " wide, column " << x << ", row " << y;
                    }
                }
            }
    }
}
