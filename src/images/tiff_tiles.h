#pragma once
#include <tiffio.h>

#include <cstdint>

#include "images/tiff_reader.h"

// Tiled files are read a row of tiles at a time into one band per plane,
// laid out as scanlines. Internal to the TIFF reader.

// Sets up band reading for a tiled file. False when its tiles are unusable
// or its bands, all planes together, would be too large.
bool prepareTiles(TIFF* tif, const TiffReader& reader, TiffOpenState& state, std::uint16_t samplesPerPixel);

// Converts file row `row` from the bands, decoding the row of tiles that
// holds it first when needed. 0 on success, -1 on failure.
int readTiledRow(TiffReader& reader, TiffOpenState& state, unsigned char* out, std::int32_t row);
