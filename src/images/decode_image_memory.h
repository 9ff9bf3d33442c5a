#pragma once
#include <cstddef>
#include <memory>

#include "images/picture_need.h"
#include "images/rgb_image.h"

// Decodes a PNG, JPEG, HEIF (HEIC, AVIF), WebP, PCX, BMP, TGA or GIF file
// held in memory, recognised by its content, into 8-bit RGB, bottom row
// first. TIFF is not read here.
// A bounded `need` lets a decoder stop at a smaller size that still covers
// it (see PictureNeed). Null when no decoder accepts the bytes.
std::unique_ptr<RGBImage> decodeImageMemory(const unsigned char* data, std::size_t size,
                                            const PictureNeed& need = {});

// True when one of the decoders above takes the bytes for its format. Only
// the first 128 bytes at most are looked at, so a file's head will do.
bool recognisesImage(const unsigned char* data, std::size_t size);
