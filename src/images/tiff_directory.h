#pragma once
#include <tiffio.h>

#include <array>
#include <cstdint>
#include <vector>

#include "images/tiff_reader.h"

// What the reader takes from a TIFF directory's tags before any row is
// read: the sample format, the channels, the palette, and which colour
// spaces it reads as stored. Internal to the TIFF reader.

// Writes one line to the debugger output, whatever its length.
#if defined(__GNUC__)
__attribute__((format(printf, 1, 2)))
#endif
void reportTiff(const char* format, ...);

// libtiff's handlers print to the console or pop up a message box; the
// saver reports nothing but its own lines. Done once, before any open.
void silenceLibtiff();

template <typename T>
T tiffFieldOr(TIFF* tif, std::uint32_t tag, T fallback) {
    T value = fallback;
    if (TIFFGetField(tif, tag, &value) != 1) return fallback;
    return value;
}

struct SampleInfo {
    std::int32_t inSampleBytes = 0;
    TiffSampleKind kind = TiffSampleKind::unsignedInteger;
};

// Pixar's codecs are read as 32-bit floats whatever the file declares.
// True when `tif` was switched over.
bool forceFloatDelivery(TIFF* tif);

// JPEG-compressed YCbCr is delivered as RGB by libjpeg.
void deliverYCbCrAsRgb(TIFF* tif);

// Reads the sample format, forcing float delivery where the codec can give
// it. False (after a message) when the samples cannot be converted.
bool readSampleInfo(TIFF* tif, const char* path, SampleInfo& info);

// Fills layout, channels and pixelBytes from the file's sample count and
// extra samples. False (after a message) when there is nothing usable.
bool readChannels(TIFF* tif, TiffReader& reader, std::uint16_t samplesPerPixel);

// The colour map of a palette file whose single colour channel holds 8- or
// 16-bit indices; empty when the file is not one or has no map.
std::vector<std::array<unsigned char, 3>> readPalette(TIFF* tif, const TiffReader& reader,
                                                      const SampleInfo& sample);

// True when the file's samples mean what the row reader shows: grey,
// palette indices, RGB, or YCbCr that libjpeg turns into RGB. Anything
// else (CMYK, CIE L*a*b*, YCbCr stored as it is, LogLuv, masks) would be
// shown as raw RGB and goes through libtiff's own colour conversion instead.
bool photometricReadAsStored(TIFF* tif);
