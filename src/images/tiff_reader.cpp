#include "images/tiff_reader.h"

#include <tiffio.h>

#include <algorithm>
#include <cstring>

#include "images/tiff_directory.h"
#include "images/tiff_scanline.h"
#include "images/tiff_tiles.h"

namespace {

// The widest scanline any acceptable picture can need: the most pixels in a
// row, four samples of four bytes each. Anything larger is a corrupt file.
constexpr std::uint64_t kMaxScanlineBytes = 16 * static_cast<std::uint64_t>(kMaxImagePixels);

// Reads one scanline into a cleared buffer: a codec that delivers less than
// a row (a JPEG strip coded shorter than the strip) only warns, and what it
// left alone must be black, not an earlier row or freed memory.
int readClearedScanline(const TiffOpenState& state, std::uint16_t plane, std::uint32_t row) {
    std::memset(state.scanline.get(), 0, state.scanlineBytes);
    return TIFFReadScanline(state.planeTiff(plane), state.scanline.get(), row, plane);
}

}  // namespace

void TiffCloser::operator()(tiff* handle) const { TIFFClose(handle); }

bool openTiff(TiffReader& reader, int outputSampleBytes) {
    closeTiff(reader);
    reader.nextRow = 0;
    if (!reader.fileName || outputSampleBytes != 1) return false;

    silenceLibtiff();
    TiffHandle handle(TIFFOpen(reader.fileName, "r"));
    if (!handle) return false;
    TIFF* tif = handle.get();
    // CMYK, L*a*b*, LogLuv and uncompressed YCbCr are no RGB; loadTiff
    // converts them through libtiff, the row reader never sees them.
    if (!photometricReadAsStored(tif)) return false;

    // What libtiff will write per scanline as the directory was read; the
    // overrides below may change it, and the buffer must hold either.
    const std::uint64_t libraryBytesBefore = TIFFScanlineSize64(tif);
    deliverYCbCrAsRgb(tif);

    SampleInfo sample;
    if (!readSampleInfo(tif, reader.fileName, sample)) return false;

    const std::uint32_t width = tiffFieldOr<std::uint32_t>(tif, TIFFTAG_IMAGEWIDTH, 0);
    const std::uint32_t height = tiffFieldOr<std::uint32_t>(tif, TIFFTAG_IMAGELENGTH, 0);
    reader.sampleBytes = static_cast<std::uint8_t>(outputSampleBytes);

    const auto samplesPerPixel = tiffFieldOr<std::uint16_t>(tif, TIFFTAG_SAMPLESPERPIXEL, 1);
    if (!readChannels(tif, reader, samplesPerPixel)) return false;

    // Refused here, before the scanline is allocated, so that a corrupt
    // size never costs memory.
    if (!imageSizeAcceptable(width, height)) return false;
    reader.width = static_cast<std::int32_t>(width);
    reader.height = static_cast<std::int32_t>(height);

    const std::uint16_t fileChannels = reader.channels;
    auto palette = readPalette(tif, reader, sample);
    if (!palette.empty()) {
        const int alpha = reader.layout >> 2;
        reader.layout = 3 + 4 * alpha;
        reader.channels = static_cast<std::uint8_t>(3 + alpha);
        reader.pixelBytes = static_cast<std::uint8_t>(reader.sampleBytes * reader.channels);
    }
    const auto photometric = tiffFieldOr<std::uint16_t>(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISBLACK);

    bool separatePlanes = false;
    if (samplesPerPixel != 1)
        separatePlanes =
            tiffFieldOr<std::uint16_t>(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG) != PLANARCONFIG_CONTIG;

    const std::uint64_t rowBytes = std::uint64_t{samplesPerPixel} *
                                   static_cast<std::uint64_t>(sample.inSampleBytes) * width;
    const std::uint64_t scanlineBytes =
        std::max({rowBytes, libraryBytesBefore, static_cast<std::uint64_t>(TIFFScanlineSize64(tif))});
    if (scanlineBytes == 0 || scanlineBytes > kMaxScanlineBytes) return false;

    auto state = std::make_unique<TiffOpenState>();
    state->inSampleBytes = sample.inSampleBytes;
    state->separatePlanes = separatePlanes;
    if (TIFFIsTiled(tif)) {
        if (!prepareTiles(tif, reader, *state, samplesPerPixel)) return false;
    } else {
        state->scanline.reset(static_cast<unsigned char*>(std::malloc(scanlineBytes)));
        if (!state->scanline) return false;
    }
    if (separatePlanes && !state->tiled) {
        // One handle per plane: libtiff keeps one decoder position per
        // handle and cannot seek inside a compressed strip, so hopping from
        // plane to plane on a single handle fails on strips of several rows.
        for (int plane = 1; plane < fileChannels; ++plane) {
            TiffHandle extra(TIFFOpen(reader.fileName, "r"));
            if (!extra) return false;
            // The file may have changed since the first open; its scanlines
            // must still fit the buffer.
            const std::uint64_t before = TIFFScanlineSize64(extra.get());
            forceFloatDelivery(extra.get());
            if (std::max(before, static_cast<std::uint64_t>(TIFFScanlineSize64(extra.get()))) >
                scanlineBytes)
                return false;
            state->planeTiffs.push_back(std::move(extra));
        }
    }
    state->scanlineBytes = static_cast<std::size_t>(scanlineBytes);
    state->tiff = std::move(handle);
    state->inSampleBytes = sample.inSampleBytes;
    state->sampleKind = sample.kind;
    state->separatePlanes = separatePlanes;
    state->fileChannels = fileChannels;
    state->palette = std::move(palette);
    state->minIsWhite = photometric == PHOTOMETRIC_MINISWHITE && (reader.layout & 3) == 1 &&
                        state->palette.empty();
    std::uint16_t extraCount = 0;
    const std::uint16_t* extraTypes = nullptr;
    state->unassociatedAlpha = (reader.layout & 4) != 0 &&
                               TIFFGetField(tif, TIFFTAG_EXTRASAMPLES, &extraCount, &extraTypes) == 1 &&
                               extraCount >= 1 && extraTypes && extraTypes[0] == EXTRASAMPLE_UNASSALPHA;
    state->orientation = orientationFromTag(tiffFieldOr<std::uint16_t>(tif, TIFFTAG_ORIENTATION, ORIENTATION_TOPLEFT));
    reader.openState = std::move(state);
    return true;
}

int readTiffRow(TiffReader& reader, unsigned char* out, std::int32_t row) {
    TiffOpenState* state = reader.openState.get();
    if (!state || !out || row < 0 || row >= reader.height) return -1;
    if (state->tiled) return readTiledRow(reader, *state, out, row);
    unsigned char* scanline = state->scanline.get();
    const std::uint16_t planes = state->separatePlanes ? state->fileChannels : 1;

    // Compressed strips decode forward only, so rows that are not wanted are
    // still read, in order.
    for (; reader.nextRow < row; ++reader.nextRow)
        for (std::uint16_t plane = 0; plane < planes; ++plane)
            if (TIFFReadScanline(state->planeTiff(plane), scanline,
                                 static_cast<std::uint32_t>(reader.nextRow), plane) < 0) {
                ++reader.nextRow;
                return -1;
            }

    reader.nextRow = row + 1;
    for (std::uint16_t plane = 0; plane < planes; ++plane) {
        if (readClearedScanline(*state, plane, static_cast<std::uint32_t>(row)) < 0) return -1;
        convertScanline(reader, *state, plane, scanline, out);
    }
    return 0;
}

void closeTiff(TiffReader& reader) { reader.openState.reset(); }

