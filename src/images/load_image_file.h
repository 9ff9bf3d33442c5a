#pragma once
#include <cstddef>
#include <memory>

#include "images/picture_need.h"
#include "images/rgb_image.h"

// How much of a file is read to recognise its format; a file that no
// decoder recognises costs no more than this.
constexpr std::size_t kImageHeadBytes = 4096;

// Decodes the picture file at `path` (PNG, JPEG, HEIC, AVIF, WebP, PCX, BMP,
// TGA, GIF or TIFF, recognised by content, never by name) into 8-bit RGB,
// bottom row first.
// With a bounded `need` the picture may come smaller, down to what
// fittedSize() says it needs (JPEGs are decoded scaled down).
// Null when the file cannot be decoded; nothing is left open or allocated.
std::unique_ptr<RGBImage> loadImageFile(const char* path, const PictureNeed& need = {});
