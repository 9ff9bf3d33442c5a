#pragma once
#include <cstddef>

#include "images/rgb_image.h"

// Reads a 16-bit PNG into `image` (already sized from its header) with
// libpng's row interface at 16 bits: the file's gamma is converted to the
// display's on the full samples, then alpha (if any) is applied to the
// encoded values over black, and only the result is rounded to 8 bits.
// Reducing to 8 bits before the gamma step would lose up to a few dozen
// levels in the shadows of a linear (gAMA 1.0) file. False on any failure.
bool decodeDeepPng(const unsigned char* data, std::size_t size, RGBImage& image);

// True when the file's IHDR says 16 bits a sample and, for an interlaced
// file, the whole picture at 16 bits a sample takes 256 MiB at most.
bool isDeepPng(const unsigned char* data, std::size_t size);
