#pragma once
#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <string>
#include <vector>

// TIFF files written with libtiff's own writer, so the reader is checked
// against what the library really produces.
struct TiffFixture {
    std::uint32_t width = 1;
    std::uint32_t height = 1;
    std::uint16_t bitsPerSample = 8;
    std::uint16_t sampleFormat = 1;     // 0: tag left out
    std::uint16_t samplesPerPixel = 1;
    std::uint16_t photometric = 1;      // min-is-black
    std::uint16_t compression = 1;      // none
    bool separatePlanes = false;
    std::vector<std::uint16_t> extraSamples;  // empty: tag left out
    std::uint16_t orientation = 0;            // 0: tag left out
    std::uint32_t rowsPerStrip = 0;           // 0: libtiff's choice
    std::uint32_t tileSize = 0;               // non-zero: tiled, square tiles
    // Palette files: entry i is red 65535 - 257 i, green 0, blue 65535 (as
    // 16-bit values), or with eightBitColourMap red 255 - i, green 0, blue
    // 255 stored unscaled, as some writers do.
    bool eightBitColourMap = false;
    // Non-zero: RGB samples stored as JPEG-compressed YCbCr, chroma
    // subsampled by this factor across and down (1 or 2).
    std::uint16_t ycbcrSubsampling = 0;
    // Sets further tags (or codec options) before any data is written.
    void (*moreTags)(struct tiff*) = nullptr;
};

// Writes `fixture` to `path` with `samples`: the picture's rows, top row
// first, samples of one pixel together, each row padded to whole bytes.
// Separate planes are split from this layout (whole-byte samples only).
// False when libtiff refuses.
bool writeTiff(const std::string& path, const TiffFixture& fixture,
               const std::vector<unsigned char>& samples);

// The bytes of `values` in the machine's order, as libtiff expects them.
template <typename T>
std::vector<unsigned char> sampleBytes(std::initializer_list<T> values) {
    std::vector<unsigned char> bytes(values.size() * sizeof(T));
    std::memcpy(bytes.data(), values.begin(), bytes.size());
    return bytes;
}
template <typename T>
std::vector<unsigned char> sampleBytes(const std::vector<T>& values) {
    std::vector<unsigned char> bytes(values.size() * sizeof(T));
    std::memcpy(bytes.data(), values.data(), bytes.size());
    return bytes;
}

// Sets the single SHORT or LONG value of `tag` in the first directory of a
// little-endian classic TIFF held in `bytes`. False when the tag is absent.
bool patchTiffTag(std::string& bytes, std::uint16_t tag, std::uint32_t value);

// Gives the entry of `tag` in the first directory the number `newTag`, so
// that the file no longer has `tag`. False when the tag is absent.
bool renameTiffTag(std::string& bytes, std::uint16_t tag, std::uint16_t newTag);
