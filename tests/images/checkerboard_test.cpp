#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "display/random.h"
#include "images/image_provider.h"

namespace {

class BaseProvider : public ImageProvider {};

class CheckerboardTest : public testing::Test {
protected:
    void TearDown() override { setRandomSource({}); }

    // The next draws come from `values`, in order.
    void drawsWillBe(std::vector<int> values) {
        setRandomSource([values, i = std::size_t{0}]() mutable { return values[i++ % values.size()]; });
    }

    static std::array<int, 3> at(const RGBImage& image, int row, int column) {
        const unsigned char* p = image.row(row) + column * 3;
        return {p[0], p[1], p[2]};
    }

    BaseProvider provider;
};

TEST_F(CheckerboardTest, IsSquaresOfSixteenInComplementaryColours) {
    drawsWillBe({0x1234, 0x7F56, 0x0078});  // low bytes 0x34, 0x56, 0x78, red first
    auto image = provider.nextImage();
    ASSERT_NE(image, nullptr);
    ASSERT_EQ(image->width, 256);
    ASSERT_EQ(image->height, 256);
    const std::array<int, 3> a{0x34, 0x56, 0x78};
    const std::array<int, 3> b{255 - 0x34, 255 - 0x56, 255 - 0x78};
    EXPECT_EQ(at(*image, 0, 0), b);
    EXPECT_EQ(at(*image, 16, 16), b);
    EXPECT_EQ(at(*image, 0, 16), a);
    EXPECT_EQ(at(*image, 16, 0), a);
    EXPECT_EQ(at(*image, 15, 15), b);
    EXPECT_EQ(at(*image, 15, 16), a);
    EXPECT_EQ(at(*image, 255, 255), b);
    EXPECT_EQ(at(*image, 255, 240), b);
    EXPECT_EQ(at(*image, 255, 239), a);
}

TEST_F(CheckerboardTest, ComplementOfExtremesIsExact) {
    drawsWillBe({0x0000, 0x00FF, 0x7F00});  // 0, 255, 0
    auto image = provider.nextImage();
    EXPECT_EQ(at(*image, 0, 16), (std::array<int, 3>{0, 255, 0}));
    EXPECT_EQ(at(*image, 0, 0), (std::array<int, 3>{255, 0, 255}));
}

TEST_F(CheckerboardTest, EachCallDrawsFreshColours) {
    drawsWillBe({1, 2, 3, 4, 5, 6});
    auto first = provider.nextImage();
    auto second = provider.nextImage();
    EXPECT_EQ(at(*first, 0, 16), (std::array<int, 3>{1, 2, 3}));
    EXPECT_EQ(at(*second, 0, 16), (std::array<int, 3>{4, 5, 6}));
}

}  // namespace
