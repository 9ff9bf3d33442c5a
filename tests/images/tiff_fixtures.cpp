#include "tiff_fixtures.h"

#include <tiffio.h>

#include <algorithm>
#include <memory>

namespace {

struct Closer {
    void operator()(TIFF* tif) const { TIFFClose(tif); }
};

std::uint16_t get16(const std::string& bytes, std::size_t at) {
    return static_cast<std::uint16_t>(static_cast<unsigned char>(bytes[at]) |
                                      static_cast<unsigned char>(bytes[at + 1]) << 8);
}

std::uint32_t get32(const std::string& bytes, std::size_t at) {
    return get16(bytes, at) | static_cast<std::uint32_t>(get16(bytes, at + 2)) << 16;
}

bool writeStrips(TIFF* tif, const TiffFixture& f, const std::vector<unsigned char>& samples) {
    const std::size_t rowBytes =
        (std::size_t{f.width} * f.samplesPerPixel * f.bitsPerSample + 7) / 8;
    if (samples.size() < rowBytes * f.height) return false;
    if (!f.separatePlanes) {
        std::vector<unsigned char> row(rowBytes);
        for (std::uint32_t y = 0; y < f.height; ++y) {
            std::memcpy(row.data(), samples.data() + y * rowBytes, rowBytes);
            if (TIFFWriteScanline(tif, row.data(), y, 0) < 0) return false;
        }
        return true;
    }
    const std::size_t sampleSize = f.bitsPerSample / 8;
    std::vector<unsigned char> plane(std::size_t{f.width} * sampleSize);
    for (std::uint16_t s = 0; s < f.samplesPerPixel; ++s)
        for (std::uint32_t y = 0; y < f.height; ++y) {
            for (std::uint32_t x = 0; x < f.width; ++x)
                std::memcpy(plane.data() + x * sampleSize,
                            samples.data() + y * rowBytes + (x * f.samplesPerPixel + s) * sampleSize,
                            sampleSize);
            if (TIFFWriteScanline(tif, plane.data(), y, s) < 0) return false;
        }
    return true;
}

bool writeTiles(TIFF* tif, const TiffFixture& f, const std::vector<unsigned char>& samples) {
    const std::size_t sampleSize = f.bitsPerSample / 8;
    const std::size_t pixelBytes = std::size_t{f.samplesPerPixel} * sampleSize;
    // With separate planes a tile holds one sample of each pixel.
    const std::size_t tileSamples = f.separatePlanes ? 1 : f.samplesPerPixel;
    const std::uint16_t planes = f.separatePlanes ? f.samplesPerPixel : 1;
    std::vector<unsigned char> tile(static_cast<std::size_t>(TIFFTileSize(tif)));
    for (std::uint16_t s = 0; s < planes; ++s)
        for (std::uint32_t ty = 0; ty < f.height; ty += f.tileSize)
            for (std::uint32_t tx = 0; tx < f.width; tx += f.tileSize) {
                // Edge tiles repeat the last column and row, as writers of
                // subsampled JPEG do so that the chroma there stays true.
                for (std::uint32_t y = ty; y < ty + f.tileSize; ++y)
                    for (std::uint32_t x = tx; x < tx + f.tileSize; ++x) {
                        const std::size_t sx = std::min(x, f.width - 1), sy = std::min(y, f.height - 1);
                        std::memcpy(tile.data() + ((y - ty) * f.tileSize + (x - tx)) * tileSamples * sampleSize,
                                    samples.data() + (sy * f.width + sx) * pixelBytes + s * sampleSize,
                                    tileSamples * sampleSize);
                    }
                if (TIFFWriteTile(tif, tile.data(), tx, ty, 0, s) < 0) return false;
            }
    return true;
}

}  // namespace

bool writeTiff(const std::string& path, const TiffFixture& f,
               const std::vector<unsigned char>& samples) {
    std::unique_ptr<TIFF, Closer> tif(TIFFOpen(path.c_str(), "w"));
    if (!tif) return false;
    TIFF* t = tif.get();
    bool ok = TIFFSetField(t, TIFFTAG_IMAGEWIDTH, f.width) &&
              TIFFSetField(t, TIFFTAG_IMAGELENGTH, f.height) &&
              TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, f.bitsPerSample) &&
              TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, f.samplesPerPixel) &&
              TIFFSetField(t, TIFFTAG_PHOTOMETRIC, f.photometric) &&
              TIFFSetField(t, TIFFTAG_COMPRESSION, f.compression) &&
              TIFFSetField(t, TIFFTAG_PLANARCONFIG,
                           f.separatePlanes ? PLANARCONFIG_SEPARATE : PLANARCONFIG_CONTIG);
    if (ok && f.ycbcrSubsampling != 0)
        ok = TIFFSetField(t, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_YCBCR) &&
             TIFFSetField(t, TIFFTAG_COMPRESSION, COMPRESSION_JPEG) &&
             TIFFSetField(t, TIFFTAG_YCBCRSUBSAMPLING, f.ycbcrSubsampling, f.ycbcrSubsampling) &&
             TIFFSetField(t, TIFFTAG_JPEGQUALITY, 100) &&
             TIFFSetField(t, TIFFTAG_JPEGCOLORMODE, JPEGCOLORMODE_RGB);
    if (ok && f.sampleFormat != 0) ok = TIFFSetField(t, TIFFTAG_SAMPLEFORMAT, f.sampleFormat);
    if (ok && !f.extraSamples.empty())
        ok = TIFFSetField(t, TIFFTAG_EXTRASAMPLES, static_cast<std::uint16_t>(f.extraSamples.size()),
                          f.extraSamples.data());
    if (ok && f.orientation != 0) ok = TIFFSetField(t, TIFFTAG_ORIENTATION, f.orientation);
    if (ok && f.photometric == PHOTOMETRIC_PALETTE) {
        // A colour map that is far from grey, so showing it would be noticed.
        const std::size_t entries = std::size_t{1} << f.bitsPerSample;
        std::vector<std::uint16_t> red(entries), green(entries), blue(entries);
        for (std::size_t i = 0; i < entries; ++i) {
            red[i] = static_cast<std::uint16_t>(f.eightBitColourMap ? 255 - i : 65535 - i * 257);
            green[i] = 0;
            blue[i] = f.eightBitColourMap ? 255 : 65535;
        }
        ok = TIFFSetField(t, TIFFTAG_COLORMAP, red.data(), green.data(), blue.data());
    }
    if (ok && f.moreTags) f.moreTags(t);
    if (!ok) return false;
    if (f.tileSize != 0) {
        if (!TIFFSetField(t, TIFFTAG_TILEWIDTH, f.tileSize) ||
            !TIFFSetField(t, TIFFTAG_TILELENGTH, f.tileSize))
            return false;
        if (!writeTiles(t, f, samples)) return false;
    } else {
        if (f.rowsPerStrip != 0 && !TIFFSetField(t, TIFFTAG_ROWSPERSTRIP, f.rowsPerStrip))
            return false;
        if (!writeStrips(t, f, samples)) return false;
    }
    return TIFFWriteDirectory(t) == 1;
}

namespace {

// Offset of the 12-byte directory entry of `tag`, or 0 when there is none.
std::size_t findEntry(const std::string& bytes, std::uint16_t tag) {
    if (bytes.size() < 8 || bytes.compare(0, 4, std::string("II*\0", 4)) != 0) return 0;
    const std::size_t ifd = get32(bytes, 4);
    if (ifd + 2 > bytes.size()) return 0;
    const std::size_t count = get16(bytes, ifd);
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t entry = ifd + 2 + i * 12;
        if (entry + 12 > bytes.size()) return 0;
        if (get16(bytes, entry) == tag) return entry;
    }
    return 0;
}

}  // namespace

bool renameTiffTag(std::string& bytes, std::uint16_t tag, std::uint16_t newTag) {
    const std::size_t entry = findEntry(bytes, tag);
    if (entry == 0) return false;
    bytes[entry] = static_cast<char>(newTag & 0xFF);
    bytes[entry + 1] = static_cast<char>(newTag >> 8);
    return true;
}

bool patchTiffTag(std::string& bytes, std::uint16_t tag, std::uint32_t value) {
    const std::size_t entry = findEntry(bytes, tag);
    if (entry == 0) return false;
    const std::uint16_t type = get16(bytes, entry + 2);
    const std::size_t width = type == TIFF_SHORT ? 2 : type == TIFF_LONG ? 4 : 0;
    if (width == 0 || get32(bytes, entry + 4) != 1) return false;
    for (std::size_t b = 0; b < width; ++b)
        bytes[entry + 8 + b] = static_cast<char>((value >> (8 * b)) & 0xFF);
    return true;
}
