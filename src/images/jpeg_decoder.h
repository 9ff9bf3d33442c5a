#pragma once
#include <cstddef>
#include <memory>

#include "images/picture_need.h"
#include "images/rgb_image.h"

// True when the bytes begin with a JPEG start-of-image marker.
bool isJpeg(const unsigned char* data, std::size_t size);

// A JPEG file in memory as 8-bit RGB, bottom row first, turned and mirrored
// as its EXIF Orientation says. Grey, CMYK and YCCK files become RGB too.
// Null when it cannot be decoded or is cut short.
std::unique_ptr<RGBImage> decodeJpeg(const unsigned char* data, std::size_t size);
// The same, decoded at the smallest of the scales 1/2, 1/4 and 1/8 whose
// result still covers `need` (the whole picture when the need is unbounded).
// A progressive file whose coefficients would take more than
// kMaxCoefficientBytes is refused.
std::unique_ptr<RGBImage> decodeJpegFor(const unsigned char* data, std::size_t size,
                                        const PictureNeed& need);
