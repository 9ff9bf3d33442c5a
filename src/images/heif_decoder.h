#pragma once
#include <cstddef>
#include <memory>

#include "images/rgb_image.h"

// True when the bytes begin with an ISO media file-type box naming a HEIF
// brand: HEIC (HEVC), AVIF (AV1) or the generic image brands. Only the
// first 128 bytes are looked at.
bool isHeif(const unsigned char* data, std::size_t size);

// The primary picture of a HEIF or AVIF file in memory as 8-bit RGB,
// bottom row first: grids assembled whole, the file's rotation, mirror and
// crop applied (an EXIF orientation inside is not applied on top), alpha
// over black, deeper samples rounded to 8 bits. Null when it cannot be
// decoded or is larger than the saver accepts.
std::unique_ptr<RGBImage> decodeHeif(const unsigned char* data, std::size_t size);
