#pragma once
#include <cstddef>
#include <memory>

#include "images/picture_need.h"
#include "images/rgb_image.h"

// True when the bytes begin with a RIFF header of form WEBP.
bool isWebp(const unsigned char* data, std::size_t size);

// A WebP file in memory (lossy, lossless or the first frame of an
// animation) as 8-bit RGB, bottom row first: alpha over black, its EXIF
// orientation applied. Null when it cannot be decoded.
std::unique_ptr<RGBImage> decodeWebp(const unsigned char* data, std::size_t size);
// The same; a quarter turn of a picture larger than `need` asks for is made
// on a copy binned down to what still covers it (orientImageFor).
std::unique_ptr<RGBImage> decodeWebpFor(const unsigned char* data, std::size_t size,
                                        const PictureNeed& need);
