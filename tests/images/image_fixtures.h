#pragma once
#include <array>
#include <cstdint>
#include <string>
#include <vector>

// Generated picture files for the decoder tests, the fuzz corpus and
// anything else that needs real files of every format. Pictures are given
// top row first, as files usually store them.

using Rgb = std::array<std::uint8_t, 3>;

// Every pixel different, so that swapped rows, columns or channels show.
struct TestPicture {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> rgba;  // top row first, 4 bytes a pixel

    const std::uint8_t* pixel(int x, int y) const { return &rgba[(std::size_t(y) * width + x) * 4]; }
};

// Alpha 255 unless `withAlpha`; then alpha runs through 0 and 255 and values
// between.
TestPicture testPicture(int width, int height, bool withAlpha = false);

// A picture of palette indices (x + 2y) mod colours over a palette of
// distinct colours.
struct IndexedPicture {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> indices;  // top row first
    std::vector<Rgb> palette;

    Rgb colour(int x, int y) const { return palette[indices[std::size_t(y) * width + x]]; }
};
IndexedPicture indexedPicture(int width, int height, int colours);
// The same with runs of three equal indices across the left half of every
// row, as run-length writers meet them.
IndexedPicture runLengthPicture(int width, int height, int colours);

enum class PngLayout { rgb, rgba, grey, greyAlpha, rgb16, grey16, rgba16 };
// Grey layouts take the red channel; 16-bit layouts store each value v as
// v * 257 (so the 8-bit result must be v again).
std::string pngFile(const TestPicture& picture, PngLayout layout, bool interlaced = false);
// `png` with a chunk of `type` holding `data` right after its IHDR chunk.
std::string withPngChunk(const std::string& png, const std::string& type, const std::string& data,
                         const char* before = nullptr);
// `transparent` >= 0 gives that index alpha 0.
std::string pngPaletteFile(const IndexedPicture& picture, int bitDepth, int transparent = -1);

enum class JpegKind { baseline, progressive, grey };
std::string jpegFile(const TestPicture& picture, JpegKind kind, int quality = 95);
// An EXIF block as a camera writes it: "Exif", two zero bytes and a TIFF
// structure whose first directory holds the Orientation tag alone, of
// `type` (3 = SHORT), `count` values, `value` in the first.
std::string exifOrientationBlock(int value, bool bigEndian = true, int type = 3, int count = 1);
// `jpeg` with an APP1 segment holding `block` right after its start marker.
std::string withApp1(const std::string& jpeg, const std::string& block);
// CMYK data as given (4 bytes a pixel, top row first). With `adobe` the file
// carries the Adobe marker and so stores inverted CMYK; `ycck` stores it
// YCCK-transformed (always with the marker).
std::string cmykJpegFile(int width, int height, const std::vector<std::uint8_t>& cmyk, bool adobe,
                         bool ycck = false, bool progressive = false);

// `screenWidth`/`screenHeight` 0 mean the frame's own size.
std::string gifFile(const IndexedPicture& picture, bool interlaced, int transparent = -1,
                    int left = 0, int top = 0, int screenWidth = 0, int screenHeight = 0);

std::string bmpFile(const TestPicture& picture, int bitsPerPixel, bool topDown = false);
std::string bmpPaletteFile(const IndexedPicture& picture);
// A BMP file of any header version and uncompressed layout, byte by byte.
struct BmpVariant {
    int headerSize = 40;               // 12, 16 and 64 are OS/2's
    int bitsPerPixel = 24;
    int compression = 0;               // 3 or 6: bit fields
    std::vector<std::uint32_t> masks;  // red, green, blue[, alpha]; after a 40-byte header, else in it
    int paletteEntries = 0;            // stored (3 bytes each after a 12-byte header)
    int coloursUsed = 0;               // the header's count (a 12-byte header has none)
    int gap = 0;                       // bytes between the palette and the pixels
    bool topDown = false;
};
// Up to 8 bits a pixel the file holds `indexed`, otherwise `picture`;
// palette entries beyond the picture's colours are grey. Bit fields store
// the top bits of each value.
std::string bmpVariantFile(const TestPicture& picture, const IndexedPicture& indexed, const BmpVariant& v);
// Run-length BMP (`bits` 8 for RLE8, 4 for RLE4; at most 16 colours for 4)
// as paint programs write it: repeats as runs, the rest as absolute runs,
// an end-of-line code after every row and the end-of-bitmap code.
std::string bmpRunLengthFile(const IndexedPicture& picture, int bits);
// A run-length BMP with the given palette and run-length data as it stands.
std::string bmpRunLengthStream(int width, int height, int bits, const std::vector<Rgb>& palette,
                               const std::string& stream);

// 24 or 32 bits; grey takes the red channel.
std::string tgaFile(const TestPicture& picture, int bitsPerPixel, bool runLength, bool topDown = false);
std::string tgaGreyFile(const TestPicture& picture, bool runLength);
std::string tgaMappedFile(const IndexedPicture& picture);

enum class PcxLayout { mono, planar16, packed4Colours, packed16Colours, palette256 };
// The palette must suit the layout (2, 16, 4, 16 or 256 colours at most).
std::string pcxFile(const IndexedPicture& picture, PcxLayout layout, bool runLength = true);
std::string pcxTrueColourFile(const TestPicture& picture, bool runLength = true);

// One valid file of each kind and variant, by a short name, for corpora.
std::vector<std::pair<std::string, std::string>> allFixtureFiles();
