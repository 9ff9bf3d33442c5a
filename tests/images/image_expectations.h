#pragma once
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <string>

#include "images/image_fixtures.h"
#include "images/rgb_image.h"

// Colour of the pixel `y` rows below the picture's top edge.
inline Rgb pixelFromTop(const RGBImage& image, int x, int y) {
    const unsigned char* p = image.row(image.height - 1 - y) + x * 3;
    return {p[0], p[1], p[2]};
}

inline Rgb compositeOverBlack(const std::uint8_t* rgba) {
    auto over = [&](int c) { return std::uint8_t((rgba[c] * rgba[3] + 127) / 255); };
    return {over(0), over(1), over(2)};
}

// Every pixel of `image` within `tolerance` of expected(x, y), y counted
// from the top; stops at the first mismatch.
inline void expectPicture(const RGBImage* image, int width, int height,
                          const std::function<Rgb(int, int)>& expected, int tolerance = 0) {
    ASSERT_NE(image, nullptr);
    ASSERT_EQ(image->width, width);
    ASSERT_EQ(image->height, height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const Rgb got = pixelFromTop(*image, x, y);
            const Rgb want = expected(x, y);
            for (int c = 0; c < 3; ++c)
                ASSERT_LE(std::abs(int(got[c]) - int(want[c])), tolerance)
                    << "pixel (" << x << ", " << y << ") channel " << c;
        }
}

