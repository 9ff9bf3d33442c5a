#pragma once
#include <cstddef>
#include <memory>

#include "images/rgb_image.h"

// TGA files carry no signature: true when the 18-byte header is consistent
// (known image type, colour map and pixel depth that fit it, non-zero size)
// and the bytes are not a TIFF file's.
bool isTga(const unsigned char* data, std::size_t size);

// A TGA file in memory as 8-bit RGB, bottom row first: colour-mapped,
// true-colour and grey, raw or run-length encoded. Null when it cannot be
// decoded or its pixel data runs short.
std::unique_ptr<RGBImage> decodeTga(const unsigned char* data, std::size_t size);
