#pragma once
#include <cstddef>
#include <memory>

#include "images/rgb_image.h"

// True when a BMP file's header (which the caller has checked is whole)
// declares run-length data: RLE8 with 8 bits or RLE4 with 4 bits a pixel.
bool isRunLengthBmp(const unsigned char* data, std::size_t size);

// A run-length BMP file in memory as 8-bit RGB, bottom row first. Pixels
// the runs skip (with a delta or an early end of line or bitmap) are black;
// runs and deltas that reach past the picture's edges are cut there. Null
// when the header is unusable or the data ends before the last row.
std::unique_ptr<RGBImage> decodeRunLengthBmp(const unsigned char* data, std::size_t size);
