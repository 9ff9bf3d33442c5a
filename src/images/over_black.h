#pragma once
#include <cstddef>
#include <cstdint>

// A colour sample of a straight (not premultiplied) alpha picture shown over
// black: value x alpha in the file's own encoded values, as browsers do,
// rounded to the nearest level.
inline unsigned char overBlack(unsigned value, unsigned alpha) {
    return static_cast<unsigned char>((value * alpha + 127) / 255);
}

// One row of 8-bit RGBA pixels as RGB over black. `rgb` may be `rgba`
// itself: each pixel is read before any of its bytes is written.
inline void rgbaRowOverBlack(const unsigned char* rgba, std::size_t width, unsigned char* rgb) {
    for (std::size_t x = 0; x < width; ++x, rgba += 4, rgb += 3) {
        rgb[0] = overBlack(rgba[0], rgba[3]);
        rgb[1] = overBlack(rgba[1], rgba[3]);
        rgb[2] = overBlack(rgba[2], rgba[3]);
    }
}
