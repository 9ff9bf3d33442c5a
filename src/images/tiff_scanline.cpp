#include "images/tiff_scanline.h"

#include <cstring>

#include "images/tiff_samples.h"

namespace {

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

}  // namespace

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
