#pragma once
#include <cstddef>
#include <memory>

#include "images/rgb_image.h"

// A TGA file in memory as 8-bit RGB, bottom row first, through stb_image
// (compiled for that format only); grey becomes RGB and alpha is
// composited over black in the stored values
// (alpha that is zero throughout is taken as opaque). Callers check the format and that the
// data is complete first: stb reads missing bytes as zeros.
std::unique_ptr<RGBImage> decodeWithStb(const unsigned char* data, std::size_t size);
