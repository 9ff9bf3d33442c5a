#include "images/tiff_reader.h"

#include <tiffio.h>

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>

#include "platform/debug_output.h"

namespace {

// The widest scanline any acceptable picture can need: the most pixels in a
// row, four samples of four bytes each. Anything larger is a corrupt file.
constexpr std::uint64_t kMaxScanlineBytes = 16 * static_cast<std::uint64_t>(kMaxImagePixels);

// Pixar's film codec is not built into libtiff; such files can still be
// opened, and fail on their first row.
constexpr std::uint16_t kCompressionPixarFilm = 32908;

#if defined(__GNUC__)
__attribute__((format(printf, 1, 2)))
#endif
void report(const char* format, ...) {
    // Most lines fit here; a long path gets a buffer of its own rather
    // than being cut.
    char line[512];
    std::va_list args;
    va_start(args, format);
    std::va_list again;
    va_copy(again, args);
    const int length = std::vsnprintf(line, sizeof line, format, args);
    va_end(args);
    if (length < 0 || static_cast<std::size_t>(length) < sizeof line) {
        line[sizeof line - 1] = '\0';
        debugOutput(line);
    } else {
        std::string text(static_cast<std::size_t>(length) + 1, '\0');
        std::vsnprintf(text.data(), text.size(), format, again);
        text.resize(static_cast<std::size_t>(length));
        debugOutput(text.c_str());
    }
    va_end(again);
}

// libtiff's handlers print to the console or pop up a message box; the
// saver reports nothing but its own lines. Setting them is process-wide, so
// it is done once, before any file is opened.
void silenceLibtiff() {
    static std::once_flag once;
    std::call_once(once, [] {
        TIFFSetErrorHandler(nullptr);
        TIFFSetWarningHandler(nullptr);
    });
}

template <typename T>
T fieldOr(TIFF* tif, std::uint32_t tag, T fallback) {
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
bool forceFloatDelivery(TIFF* tif) {
    const std::uint16_t compression =
        fieldOr<std::uint16_t>(tif, TIFFTAG_COMPRESSION, COMPRESSION_NONE);
    if (compression == COMPRESSION_PIXARLOG) {
        // PixarLog stores companded values; asking for floats keeps all of
        // their range instead of the codec's own 8-bit rendering.
        TIFFSetField(tif, TIFFTAG_PIXARLOGDATAFMT, PIXARLOGDATAFMT_FLOAT);
        return true;
    }
    if (compression == kCompressionPixarFilm) {
        TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 32);
        return true;
    }
    return false;
}

// JPEG-compressed YCbCr, chroma subsampled as cameras and scanners store
// it, cannot be read as it is stored; libjpeg converts it to RGB instead.
void deliverYCbCrAsRgb(TIFF* tif) {
    if (fieldOr<std::uint16_t>(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISBLACK) == PHOTOMETRIC_YCBCR &&
        fieldOr<std::uint16_t>(tif, TIFFTAG_COMPRESSION, COMPRESSION_NONE) == COMPRESSION_JPEG)
        TIFFSetField(tif, TIFFTAG_JPEGCOLORMODE, JPEGCOLORMODE_RGB);
}

// Reads the sample format, forcing float delivery where the codec can give
// it. False (after a message) when the samples cannot be converted.
bool readSampleInfo(TIFF* tif, const char* path, SampleInfo& info) {
    std::uint16_t bits = fieldOr<std::uint16_t>(tif, TIFFTAG_BITSPERSAMPLE, 1);
    std::uint16_t format = fieldOr<std::uint16_t>(tif, TIFFTAG_SAMPLEFORMAT, SAMPLEFORMAT_UINT);
    if (forceFloatDelivery(tif)) {
        bits = 32;
        format = SAMPLEFORMAT_IEEEFP;
    }

    if (format == SAMPLEFORMAT_UINT) {
        switch (bits) {
        case 8: info.inSampleBytes = 1; break;
        case 16: info.inSampleBytes = 2; break;
        case 32: info.inSampleBytes = 4; break;
        default:
            report("Glimmora: TIFF image %s unsupported; %d bit unsigned integer samples\n", path,
                   static_cast<int>(bits));
            return false;
        }
        info.kind = TiffSampleKind::unsignedInteger;
        return true;
    }
    if (format == SAMPLEFORMAT_IEEEFP) {
        if (bits != 32) {
            report("Glimmora: TIFF image %s unsupported; %d bit float samples\n", path,
                   static_cast<int>(bits));
            return false;
        }
        info.inSampleBytes = 4;
        info.kind = TiffSampleKind::ieeeFloat;
        return true;
    }
    report("Glimmora: TIFF image %s unsupported; signed integer or 'void' samples\n", path);
    return false;
}

// Fills layout, channels and pixelBytes from the file's sample count and
// alpha flag. False (after a message) when there is nothing usable.
bool readChannels(TIFF* tif, TiffReader& reader, std::uint16_t samplesPerPixel) {
    if (samplesPerPixel == 0) {
        report("Glimmora: TIFF image %s has no channels\n", reader.fileName);
        return false;
    }
    // libtiff answers Matteing from ExtraSamples: 1 exactly when there is one
    // extra sample and it is associated alpha.
    const bool matteing = fieldOr<std::uint16_t>(tif, TIFFTAG_MATTEING, 0) != 0;
    const int alpha = matteing ? 1 : 0;
    int colours = samplesPerPixel - alpha;
    int alphaCount = alpha;
    if (colours == 4 && !matteing) {
        colours = 3;
        alphaCount = 1;
    } else if (colours >= 4) {
        report("Glimmora: TIFF image %s has more than 3 color channels\n", reader.fileName);
        return false;
    }
    reader.layout = colours + 4 * alphaCount;
    reader.channels = static_cast<std::uint8_t>(colours + alphaCount);
    reader.pixelBytes = static_cast<std::uint8_t>(reader.sampleBytes * reader.channels);
    return true;
}

// The colour map of a palette file whose single colour channel holds 8- or
// 16-bit indices; empty when the file is not one or has no map.
std::vector<std::array<unsigned char, 3>> readPalette(TIFF* tif, const TiffReader& reader,
                                                      const SampleInfo& sample) {
    std::vector<std::array<unsigned char, 3>> palette;
    if (fieldOr<std::uint16_t>(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISBLACK) != PHOTOMETRIC_PALETTE ||
        (reader.layout & 3) != 1 || sample.kind != TiffSampleKind::unsignedInteger ||
        sample.inSampleBytes > 2)
        return palette;
    std::uint16_t *red = nullptr, *green = nullptr, *blue = nullptr;
    if (TIFFGetField(tif, TIFFTAG_COLORMAP, &red, &green, &blue) != 1 || !red || !green || !blue)
        return palette;
    const std::size_t entries = std::size_t{1} << (8 * sample.inSampleBytes);
    // The format wants 16-bit map entries, but some writers store 8-bit
    // values as they are; a map with nothing above 255 is such a one.
    bool eightBit = true;
    for (std::size_t i = 0; i < entries && eightBit; ++i)
        eightBit = red[i] < 256 && green[i] < 256 && blue[i] < 256;
    auto level = [eightBit](std::uint16_t v) {
        return static_cast<unsigned char>(eightBit ? v : (v + 128u) / 257u);
    };
    palette.resize(entries);
    for (std::size_t i = 0; i < entries; ++i) palette[i] = {level(red[i]), level(green[i]), level(blue[i])};
    return palette;
}

// Palette indices of one stored sample each, `stride` samples apart, as
// the colours they stand for, pixelBytes apart in `out`.
void expandIndices(const TiffOpenState& state, const unsigned char* source, std::size_t count,
                   std::size_t stride, unsigned char* out, std::size_t pixelBytes) {
    for (std::size_t x = 0; x < count; ++x, out += pixelBytes) {
        std::size_t index = source[x * stride];
        if (state.inSampleBytes == 2) {
            std::uint16_t wide;
            std::memcpy(&wide, source + x * stride * 2, 2);
            index = wide;
        }
        const auto& colour = state.palette[index];
        out[0] = colour[0];
        out[1] = colour[1];
        out[2] = colour[2];
    }
}

// Converts one file scanline, of one plane or of all of them, into `out`.
void convertScanline(const TiffReader& reader, const TiffOpenState& state, std::uint16_t plane,
                     const unsigned char* scanline, unsigned char* out) {
    const auto width = static_cast<std::size_t>(reader.width);
    const std::size_t pixelBytes = reader.pixelBytes;
    const std::size_t sampleBytes = static_cast<std::size_t>(state.inSampleBytes);
    if (!state.palette.empty()) {
        // Delivered as red, green, blue from the index, then any alpha.
        if (!state.separatePlanes) {
            expandIndices(state, scanline, width, state.fileChannels, out, pixelBytes);
            for (std::size_t x = 0; x < width; ++x)
                for (std::uint16_t s = 1; s < state.fileChannels; ++s)
                    convertSamples(1, state.inSampleBytes,
                                   scanline + (x * state.fileChannels + s) * sampleBytes,
                                   out + x * pixelBytes + 2 + s, 1, state.sampleKind);
        } else if (plane == 0) {
            expandIndices(state, scanline, width, 1, out, pixelBytes);
        } else {
            convertSamples(width, state.inSampleBytes, scanline, out + 2 + plane,
                           static_cast<std::ptrdiff_t>(pixelBytes), state.sampleKind);
        }
        return;
    }
    if (!state.separatePlanes)
        convertSamples(reader.channels * width, state.inSampleBytes, scanline, out, 1, state.sampleKind);
    else
        convertSamples(width, state.inSampleBytes, scanline, out + plane * reader.sampleBytes,
                       static_cast<std::ptrdiff_t>(pixelBytes), state.sampleKind);
    if (state.minIsWhite && plane == 0)
        for (std::size_t x = 0; x < width; ++x) out[x * pixelBytes] = static_cast<unsigned char>(255 - out[x * pixelBytes]);
}

// The largest tile taken: tiles are meant to be small (a few hundred
// pixels a side); a corrupt header may claim anything.
constexpr std::uint64_t kMaxTileBytes = std::uint64_t{64} << 20;

// Sets up band reading for a tiled file. False when its tiles are unusable.
bool prepareTiles(TIFF* tif, const TiffReader& reader, TiffOpenState& state, std::uint16_t samplesPerPixel) {
    std::uint32_t tileWidth = 0, tileLength = 0;
    if (TIFFGetField(tif, TIFFTAG_TILEWIDTH, &tileWidth) != 1 ||
        TIFFGetField(tif, TIFFTAG_TILELENGTH, &tileLength) != 1 || tileWidth == 0 || tileLength == 0)
        return false;
    const std::uint64_t samplesPerTilePixel = state.separatePlanes ? 1 : samplesPerPixel;
    const std::uint64_t pixelBytes = samplesPerTilePixel * static_cast<std::uint64_t>(state.inSampleBytes);
    const std::uint64_t tileBytes = static_cast<std::uint64_t>(TIFFTileSize64(tif));
    // What the conversion will read of every tile must be what libtiff
    // delivers; a codec that delivers less (or a corrupt header) is refused.
    if (tileWidth > kMaxTileBytes || tileLength > kMaxTileBytes) return false;
    const std::uint64_t needed = std::uint64_t{tileWidth} * tileLength * pixelBytes;
    if (tileBytes == 0 || tileBytes > kMaxTileBytes || needed > tileBytes) return false;
    const std::uint64_t bandRowBytes = static_cast<std::uint64_t>(reader.width) * pixelBytes;
    const std::uint64_t bandRows = std::min<std::uint64_t>(tileLength, static_cast<std::uint64_t>(reader.height));
    if (bandRowBytes * bandRows > kMaxTileBytes * 4) return false;

    state.tiled = true;
    state.tileWidth = tileWidth;
    state.tileLength = tileLength;
    state.tileBytes = static_cast<std::size_t>(tileBytes);
    state.tile.reset(static_cast<unsigned char*>(std::malloc(state.tileBytes)));
    if (!state.tile) return false;
    state.bandRowBytes = static_cast<std::size_t>(bandRowBytes);
    const std::uint16_t planes = state.separatePlanes ? samplesPerPixel : 1;
    for (std::uint16_t plane = 0; plane < planes; ++plane) {
        TiffBuffer band(static_cast<unsigned char*>(std::malloc(static_cast<std::size_t>(bandRowBytes * bandRows))));
        if (!band) return false;
        state.bands.push_back(std::move(band));
    }
    return true;
}

// Decodes the row of tiles that holds file row `row` into the bands.
bool loadBand(const TiffReader& reader, TiffOpenState& state, std::uint32_t row) {
    TIFF* tif = state.tiff.get();
    const std::uint32_t top = row / state.tileLength * state.tileLength;
    const std::uint32_t rows = std::min<std::uint32_t>(state.tileLength, static_cast<std::uint32_t>(reader.height) - top);
    const std::size_t pixelBytes = state.bandRowBytes / static_cast<std::size_t>(reader.width);
    const std::size_t tileRowBytes = std::size_t{state.tileWidth} * pixelBytes;
    const auto width = static_cast<std::uint32_t>(reader.width);
    for (std::size_t plane = 0; plane < state.bands.size(); ++plane) {
        unsigned char* band = state.bands[plane].get();
        for (std::uint32_t x = 0; x < width; x += state.tileWidth) {
            const std::uint32_t index = TIFFComputeTile(tif, x, top, 0, static_cast<std::uint16_t>(plane));
            if (TIFFReadEncodedTile(tif, index, state.tile.get(), static_cast<tmsize_t>(state.tileBytes)) < 0)
                return false;
            // Tiles at the right and bottom edges reach past the picture.
            const std::size_t columns = std::min<std::uint32_t>(state.tileWidth, width - x);
            for (std::uint32_t y = 0; y < rows; ++y)
                std::memcpy(band + y * state.bandRowBytes + std::size_t{x} * pixelBytes,
                            state.tile.get() + y * tileRowBytes, columns * pixelBytes);
        }
    }
    state.bandTop = top;
    return true;
}

int readTiledRow(TiffReader& reader, TiffOpenState& state, unsigned char* out, std::int32_t row) {
    const auto wanted = static_cast<std::uint32_t>(row);
    if (state.bandTop < 0 || wanted < state.bandTop || wanted >= state.bandTop + state.tileLength) {
        state.bandTop = -1;
        if (!loadBand(reader, state, wanted)) return -1;
    }
    const std::size_t offset = (wanted - static_cast<std::uint32_t>(state.bandTop)) * state.bandRowBytes;
    for (std::size_t plane = 0; plane < state.bands.size(); ++plane)
        convertScanline(reader, state, static_cast<std::uint16_t>(plane), state.bands[plane].get() + offset, out);
    reader.nextRow = row + 1;
    return 0;
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

    // What libtiff will write per scanline as the directory was read; the
    // overrides below may change it, and the buffer must hold either.
    const std::uint64_t libraryBytesBefore = TIFFScanlineSize64(tif);
    deliverYCbCrAsRgb(tif);

    SampleInfo sample;
    if (!readSampleInfo(tif, reader.fileName, sample)) return false;

    const std::uint32_t width = fieldOr<std::uint32_t>(tif, TIFFTAG_IMAGEWIDTH, 0);
    const std::uint32_t height = fieldOr<std::uint32_t>(tif, TIFFTAG_IMAGELENGTH, 0);
    reader.sampleBytes = static_cast<std::uint8_t>(outputSampleBytes);

    const auto samplesPerPixel = fieldOr<std::uint16_t>(tif, TIFFTAG_SAMPLESPERPIXEL, 1);
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
    const auto photometric = fieldOr<std::uint16_t>(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISBLACK);

    bool separatePlanes = false;
    if (samplesPerPixel != 1)
        separatePlanes =
            fieldOr<std::uint16_t>(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG) != PLANARCONFIG_CONTIG;

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
    state->orientation = orientationFromTag(fieldOr<std::uint16_t>(tif, TIFFTAG_ORIENTATION, ORIENTATION_TOPLEFT));
    reader.openState = std::move(state);
    return true;
}

int readTiffRow(TiffReader& reader, unsigned char* out, std::int32_t row) {
    TiffOpenState* state = reader.openState.get();
    if (!state || !out || row < 0 || row >= reader.height) return -1;
    if (state->tiled) return readTiledRow(reader, *state, out, row);
    TIFF* tif = state->tiff.get();
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
    if (!state->separatePlanes) {
        if (TIFFReadScanline(tif, scanline, static_cast<std::uint32_t>(row), 0) < 0) return -1;
        convertScanline(reader, *state, 0, scanline, out);
        return 0;
    }
    for (std::uint16_t plane = 0; plane < planes; ++plane) {
        if (TIFFReadScanline(state->planeTiff(plane), scanline, static_cast<std::uint32_t>(row), plane) < 0)
            return -1;
        convertScanline(reader, *state, plane, scanline, out);
    }
    return 0;
}

void closeTiff(TiffReader& reader) { reader.openState.reset(); }

std::unique_ptr<RGBImage> loadTiff(const char* path) {
    TiffReader reader;
    reader.fileName = path;
    if (!openTiff(reader, 1)) return nullptr;

    const int colours = reader.layout & 3;
    if (colours != 1 && colours != 3) return nullptr;

    auto image = makeRGBImage(reader.width, reader.height);
    if (!image) return nullptr;
    const auto width = static_cast<std::size_t>(reader.width);
    const std::size_t channels = reader.channels;
    TiffBuffer rowBuffer(static_cast<unsigned char*>(std::malloc(reader.pixelBytes * width)));
    if (!rowBuffer) return nullptr;

    const bool overBlack = reader.openState->unassociatedAlpha && channels >= 4;
    for (std::int32_t i = 0; i < reader.height; ++i) {
        if (readTiffRow(reader, rowBuffer.get(), i) != 0) return nullptr;
        const unsigned char* source = rowBuffer.get();
        unsigned char* target = image->row(reader.height - 1 - i);
        if (colours == 3 && overBlack) {
            // As browsers show it: each stored value times its alpha.
            for (std::size_t x = 0; x < width; ++x, source += channels, target += 3) {
                const unsigned a = source[3];
                for (int c = 0; c < 3; ++c) target[c] = static_cast<unsigned char>((source[c] * a + 127u) / 255u);
            }
        } else if (colours == 3) {
            for (std::size_t x = 0; x < width; ++x, source += channels, target += 3) {
                target[0] = source[0];
                target[1] = source[1];
                target[2] = source[2];
            }
        } else {
            for (std::size_t x = 0; x < width; ++x, source += channels, target += 3)
                target[0] = target[1] = target[2] = source[0];
        }
    }
    const Orientation orientation = reader.openState->orientation;
    closeTiff(reader);
    return orientImage(std::move(image), orientation);
}
