#pragma once
#include <array>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <vector>

#include "images/image_orientation.h"
#include "images/rgb_image.h"
#include "images/tiff_samples.h"

struct tiff;  // libtiff's handle type, TIFF in tiffio.h

struct TiffCloser {
    void operator()(tiff* handle) const;
};
struct TiffFreeer {
    void operator()(unsigned char* buffer) const { std::free(buffer); }
};
using TiffHandle = std::unique_ptr<tiff, TiffCloser>;
using TiffBuffer = std::unique_ptr<unsigned char, TiffFreeer>;

// What a TIFF file holds open while it is read; gone with its owner.
struct TiffOpenState {
    TiffHandle tiff;
    std::int32_t inSampleBytes = 0;  // bytes per file sample: 1, 2 or 4
    TiffSampleKind sampleKind = TiffSampleKind::unsignedInteger;
    bool separatePlanes = false;     // each channel stored as its own plane
    TiffBuffer scanline;             // one file scanline as libtiff delivers it
    std::size_t scanlineBytes = 0;
    // With separate planes, the same file again for planes 1, 2, ...
    std::vector<TiffHandle> planeTiffs;
    // Samples per pixel in the file: with a palette, fewer than delivered.
    std::uint16_t fileChannels = 0;
    // A palette file's colours, indexed by its samples; empty otherwise.
    std::vector<std::array<unsigned char, 3>> palette;
    // Grey stored with 0 as white: delivered inverted, 0 as black.
    bool minIsWhite = false;
    // The extra sample is alpha that the colours have not been multiplied
    // by (associated alpha comes premultiplied, that is over black already).
    bool unassociatedAlpha = false;
    Orientation orientation = Orientation::upright;

    // Tiled files are read a row of tiles at a time into one band per
    // plane, laid out as scanlines; rows are then taken from the bands.
    bool tiled = false;
    std::uint32_t tileWidth = 0;
    std::uint32_t tileLength = 0;
    TiffBuffer tile;                 // one tile as libtiff decodes it
    std::size_t tileBytes = 0;
    std::vector<TiffBuffer> bands;   // per plane: tileLength scanlines
    std::size_t bandRowBytes = 0;    // bytes of one band row (one plane's, when separate)
    std::int64_t bandTop = -1;       // first file row held in the bands; -1: none yet

    // The handle that reads `plane`.
    ::tiff* planeTiff(int plane) const {
        return plane == 0 ? tiff.get() : planeTiffs[static_cast<std::size_t>(plane - 1)].get();
    }
};

// One TIFF file being read, a row at a time. Destroying it closes the file.
struct TiffReader {
    const char* fileName = nullptr;  // borrowed from the caller
    std::uint8_t sampleBytes = 0;    // bytes per output sample
    std::uint8_t pixelBytes = 0;     // sampleBytes x channels
    std::uint8_t channels = 0;       // colour channels plus alpha
    std::int32_t layout = 0;         // colour count in bits 0-1, alpha in bit 2
                                     // (a palette file delivers 3 colours)
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::unique_ptr<TiffOpenState> openState;  // set between openTiff and closeTiff
    std::int32_t nextRow = 0;  // next file row libtiff will be asked for
};

// Opens reader.fileName and fills in the other fields. Output samples are
// always 8-bit, so `outputSampleBytes` must be 1. False when the file cannot
// be read as a supported TIFF (colour spaces other than grey, palette, RGB
// and JPEG-compressed YCbCr included: loadTiff converts those); unsupported
// sample formats and channel counts are reported on the debugger output.
bool openTiff(TiffReader& reader, int outputSampleBytes);

// Converts file row `row` (0 is the first stored row) into `out`: width
// pixels of pixelBytes bytes, channels interleaved whatever the file's
// planar layout, strips or tiles; palette indices become their colours,
// min-is-white grey is turned round and JPEG-compressed YCbCr arrives as
// RGB. Rows must be asked for in increasing order. 0 on
// success, -1 on failure.
int readTiffRow(TiffReader& reader, unsigned char* out, std::int32_t row);

// Closes the file and frees the scanline; does nothing when nothing is open.
void closeTiff(TiffReader& reader);

// Decodes the TIFF file at `path` into 8-bit RGB, bottom row first, turned
// as its Orientation tag says. Grey (one colour channel), palette and RGB
// files are read row by row; unassociated alpha is composited over black in
// the stored values, associated alpha (premultiplied) needs nothing. CMYK,
// CIE L*a*b*, YCbCr stored without JPEG and LogLuv go through libtiff's
// RGBA conversion, or are refused with a message when it cannot convert
// them. Null on any failure; nothing is left open or allocated.
std::unique_ptr<RGBImage> loadTiff(const char* path);
