#pragma once
#include <cstddef>
#include <memory>

#include "images/rgb_image.h"

// True when the bytes begin with a plausible PCX header.
bool isPcx(const unsigned char* data, std::size_t size);

// A PCX file in memory as 8-bit RGB, bottom row first: 1-bit (1 to 4
// planes), 2- and 4-bit palette, 8-bit palette and 24-bit three-plane
// pictures, run-length encoded or raw. Null when it cannot be decoded or
// its data runs short.
std::unique_ptr<RGBImage> decodePcx(const unsigned char* data, std::size_t size);
