#include "images/tiff_samples.h"

#include <cstdint>
#include <cstring>

#include "display/random.h"

namespace {

// Samples in a scanline need not be aligned for their type.
template <typename T>
T loadSample(const unsigned char* source) {
    T value;
    std::memcpy(&value, source, sizeof value);
    return value;
}

unsigned char fromUnsigned16(std::uint16_t v) {
    return static_cast<unsigned char>(v * (1.0 / 257.0) + 0.5);
}

// floor(v * 255 / (2^32 - 1) + 1/2) without leaving integers: the doubled
// numerator stays below 2^41.
unsigned char fromUnsigned32(std::uint32_t v) {
    constexpr std::uint64_t kMax = 0xFFFFFFFFull;
    return static_cast<unsigned char>((std::uint64_t{v} * 255u * 2u + kMax) / (2u * kMax));
}

unsigned char fromFloat(float v) {
    // The draw is taken for every sample, whatever its value, so that the
    // dither sequence does not depend on the picture.
    const double r = uniformReal(0.0, 1.0);
    const double sum = static_cast<double>(v) * 255.0 + r - 0.5;
    // Clamped before the narrowing, which would overflow for huge samples;
    // the result is the same as clamping the single-precision value.
    if (!(sum >= 0.0)) return 0;
    if (sum > 255.0) return 255;
    // Rounding to single precision first matters: 254.9999999 becomes 255.
    return static_cast<unsigned char>(static_cast<float>(sum));
}

}  // namespace

void convertSamples(std::size_t count, int inSampleBytes, const unsigned char* source,
                    unsigned char* destination, std::ptrdiff_t step, TiffSampleKind kind) {
    switch (inSampleBytes) {
    case 1:
        for (std::size_t i = 0; i < count; ++i, destination += step) *destination = source[i];
        break;
    case 2:
        for (std::size_t i = 0; i < count; ++i, source += 2, destination += step)
            *destination = fromUnsigned16(loadSample<std::uint16_t>(source));
        break;
    case 4:
        if (kind == TiffSampleKind::ieeeFloat) {
            for (std::size_t i = 0; i < count; ++i, source += 4, destination += step)
                *destination = fromFloat(loadSample<float>(source));
        } else {
            for (std::size_t i = 0; i < count; ++i, source += 4, destination += step)
                *destination = fromUnsigned32(loadSample<std::uint32_t>(source));
        }
        break;
    default:
        break;
    }
}
