#pragma once
#include <cstdint>

#include "images/tiff_reader.h"

// Converts one file scanline, of plane `plane` or of all planes together,
// into `out`: 8-bit samples, channels interleaved; palette indices become
// their colours and min-is-white grey is turned round. Internal to the
// TIFF reader.
void convertScanline(const TiffReader& reader, const TiffOpenState& state, std::uint16_t plane,
                     const unsigned char* scanline, unsigned char* out);
