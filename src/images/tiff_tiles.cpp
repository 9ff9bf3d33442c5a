#include "images/tiff_tiles.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "images/tiff_scanline.h"

namespace {

// The largest tile taken: tiles are meant to be small (a few hundred
// pixels a side); a corrupt header may claim anything.
constexpr std::uint64_t kMaxTileBytes = std::uint64_t{64} << 20;
// The most that the bands of all planes together may hold.
constexpr std::uint64_t kMaxBandBytes = kMaxTileBytes * 4;

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
            // A codec that delivers less than the tile (a JPEG tile coded
            // smaller than it should be) only warns and leaves the rest as
            // it was: black, never the previous tile.
            std::memset(state.tile.get(), 0, state.tileBytes);
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

}  // namespace

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
    const std::uint16_t planes = state.separatePlanes ? samplesPerPixel : 1;
    if (bandRowBytes * bandRows * planes > kMaxBandBytes) return false;

    state.tiled = true;
    state.tileWidth = tileWidth;
    state.tileLength = tileLength;
    state.tileBytes = static_cast<std::size_t>(tileBytes);
    state.tile.reset(static_cast<unsigned char*>(std::malloc(state.tileBytes)));
    if (!state.tile) return false;
    state.bandRowBytes = static_cast<std::size_t>(bandRowBytes);
    for (std::uint16_t plane = 0; plane < planes; ++plane) {
        TiffBuffer band(static_cast<unsigned char*>(std::malloc(static_cast<std::size_t>(bandRowBytes * bandRows))));
        if (!band) return false;
        state.bands.push_back(std::move(band));
    }
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
