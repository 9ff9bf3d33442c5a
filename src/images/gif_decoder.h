#pragma once
#include <cstddef>
#include <memory>

#include "images/rgb_image.h"

// True when the bytes begin with "GIF87a" or "GIF89a".
bool isGif(const unsigned char* data, std::size_t size);

// The first frame of a GIF file in memory as 8-bit RGB, bottom row first,
// placed on the file's logical screen; transparent pixels and the rest of
// the screen are black. Null when it cannot be decoded.
std::unique_ptr<RGBImage> decodeGif(const unsigned char* data, std::size_t size);
