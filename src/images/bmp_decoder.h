#pragma once
#include <cstddef>
#include <memory>

#include "images/rgb_image.h"

// True when the bytes begin with "BM" and hold a whole BMP header.
bool isBmp(const unsigned char* data, std::size_t size);

// An uncompressed, bit-field or run-length (RLE8, RLE4) BMP file in memory
// as 8-bit RGB, bottom row first: Windows headers of every version and
// both OS/2 ones, the pixel array where the file header puts it, any
// palette a true-colour file carries ignored, alpha composited over black.
// Null when it cannot be decoded or its pixel data runs short.
std::unique_ptr<RGBImage> decodeBmp(const unsigned char* data, std::size_t size);
