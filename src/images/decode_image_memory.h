#pragma once
#include <cstddef>
#include <memory>

#include "images/rgb_image.h"

// Decodes a PNG, JPEG, PCX, BMP, TGA or GIF file held in memory, recognised
// by its content, into 8-bit RGB, bottom row first. TIFF is not read here.
// Null when no decoder accepts the bytes.
std::unique_ptr<RGBImage> decodeImageMemory(const unsigned char* data, std::size_t size);
