#pragma once
#include <cstddef>
#include <memory>

#include "images/picture_need.h"
#include "images/rgb_image.h"

// True when the bytes begin with the PNG signature.
bool isPng(const unsigned char* data, std::size_t size);

// A PNG file in memory as 8-bit RGB, bottom row first, turned as its eXIf
// chunk says; alpha composited over black in the file's encoded values
// (after its gAMA), as browsers show it. Null when it cannot be decoded.
std::unique_ptr<RGBImage> decodePng(const unsigned char* data, std::size_t size);
// The same; a quarter turn of a picture larger than `need` asks for is made
// on a copy binned down to what still covers it (orientImageFor).
std::unique_ptr<RGBImage> decodePngFor(const unsigned char* data, std::size_t size,
                                        const PictureNeed& need);
