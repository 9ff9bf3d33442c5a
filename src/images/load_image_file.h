#pragma once
#include <memory>

#include "images/rgb_image.h"

// Decodes the picture file at `path` (PNG, JPEG, PCX, BMP, TGA, GIF or TIFF,
// recognised by content, never by name) into 8-bit RGB, bottom row first.
// Null when the file cannot be decoded; nothing is left open or allocated.
std::unique_ptr<RGBImage> loadImageFile(const char* path);
