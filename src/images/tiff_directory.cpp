#include "images/tiff_directory.h"

#include <cstdarg>
#include <cstdio>
#include <mutex>
#include <string>

#include "platform/debug_output.h"

namespace {

// Pixar's film codec is not built into libtiff; such files can still be
// opened, and fail on their first row.
constexpr std::uint16_t kCompressionPixarFilm = 32908;

}  // namespace

void reportTiff(const char* format, ...) {
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

void silenceLibtiff() {
    // Setting the handlers is process-wide.
    static std::once_flag once;
    std::call_once(once, [] {
        TIFFSetErrorHandler(nullptr);
        TIFFSetWarningHandler(nullptr);
    });
}

bool forceFloatDelivery(TIFF* tif) {
    const std::uint16_t compression =
        tiffFieldOr<std::uint16_t>(tif, TIFFTAG_COMPRESSION, COMPRESSION_NONE);
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

// Chroma subsampled as cameras and scanners store it cannot be read as it
// is stored; libjpeg converts it to RGB instead.
void deliverYCbCrAsRgb(TIFF* tif) {
    if (tiffFieldOr<std::uint16_t>(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISBLACK) == PHOTOMETRIC_YCBCR &&
        tiffFieldOr<std::uint16_t>(tif, TIFFTAG_COMPRESSION, COMPRESSION_NONE) == COMPRESSION_JPEG)
        TIFFSetField(tif, TIFFTAG_JPEGCOLORMODE, JPEGCOLORMODE_RGB);
}

bool readSampleInfo(TIFF* tif, const char* path, SampleInfo& info) {
    std::uint16_t bits = tiffFieldOr<std::uint16_t>(tif, TIFFTAG_BITSPERSAMPLE, 1);
    std::uint16_t format = tiffFieldOr<std::uint16_t>(tif, TIFFTAG_SAMPLEFORMAT, SAMPLEFORMAT_UINT);
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
            reportTiff("Glimmora: TIFF image %s unsupported; %d bit unsigned integer samples\n", path,
                       static_cast<int>(bits));
            return false;
        }
        info.kind = TiffSampleKind::unsignedInteger;
        return true;
    }
    if (format == SAMPLEFORMAT_IEEEFP) {
        if (bits != 32) {
            reportTiff("Glimmora: TIFF image %s unsupported; %d bit float samples\n", path,
                       static_cast<int>(bits));
            return false;
        }
        info.inSampleBytes = 4;
        info.kind = TiffSampleKind::ieeeFloat;
        return true;
    }
    reportTiff("Glimmora: TIFF image %s unsupported; signed integer or 'void' samples\n", path);
    return false;
}

bool readChannels(TIFF* tif, TiffReader& reader, std::uint16_t samplesPerPixel) {
    if (samplesPerPixel == 0) {
        reportTiff("Glimmora: TIFF image %s has no channels\n", reader.fileName);
        return false;
    }
    // libtiff answers Matteing from ExtraSamples: 1 exactly when there is one
    // extra sample and it is associated alpha.
    const bool matteing = tiffFieldOr<std::uint16_t>(tif, TIFFTAG_MATTEING, 0) != 0;
    std::uint16_t extraCount = 0;
    const std::uint16_t* extraTypes = nullptr;
    const bool unassociated = TIFFGetField(tif, TIFFTAG_EXTRASAMPLES, &extraCount, &extraTypes) == 1 &&
                              extraCount >= 1 && extraTypes && extraTypes[0] == EXTRASAMPLE_UNASSALPHA;
    const int alpha = matteing ? 1 : 0;
    int colours = samplesPerPixel - alpha;
    int alphaCount = alpha;
    if (!matteing && (colours == 4 || (colours == 2 && unassociated))) {
        // RGB or grey with one more sample: alpha, shown over black when
        // it is declared unassociated.
        colours -= 1;
        alphaCount = 1;
    } else if (colours >= 4) {
        reportTiff("Glimmora: TIFF image %s has more than 3 color channels\n", reader.fileName);
        return false;
    }
    reader.layout = colours + 4 * alphaCount;
    reader.channels = static_cast<std::uint8_t>(colours + alphaCount);
    reader.pixelBytes = static_cast<std::uint8_t>(reader.sampleBytes * reader.channels);
    return true;
}

std::vector<std::array<unsigned char, 3>> readPalette(TIFF* tif, const TiffReader& reader,
                                                      const SampleInfo& sample) {
    std::vector<std::array<unsigned char, 3>> palette;
    if (tiffFieldOr<std::uint16_t>(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISBLACK) != PHOTOMETRIC_PALETTE ||
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

bool photometricReadAsStored(TIFF* tif) {
    switch (tiffFieldOr<std::uint16_t>(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISBLACK)) {
    case PHOTOMETRIC_MINISWHITE:
    case PHOTOMETRIC_MINISBLACK:
    case PHOTOMETRIC_RGB:
    case PHOTOMETRIC_PALETTE:
        return true;
    case PHOTOMETRIC_YCBCR:
        return tiffFieldOr<std::uint16_t>(tif, TIFFTAG_COMPRESSION, COMPRESSION_NONE) == COMPRESSION_JPEG;
    default:
        return false;
    }
}
