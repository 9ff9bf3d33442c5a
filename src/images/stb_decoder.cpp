#include "images/stb_decoder.h"

#include <climits>

#define STBI_ONLY_TGA
#define STBI_NO_STDIO
#define STBI_NO_LINEAR
#define STBI_NO_HDR
// The failure reason is a process-wide variable; it is never read.
#define STBI_NO_FAILURE_STRINGS
// Our own pixel-count limit is the binding one; this only has to be above it.
#define STBI_MAX_DIMENSIONS (1 << 28)
#define STB_IMAGE_STATIC
#define STB_IMAGE_IMPLEMENTATION
#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wunused-function"
#pragma GCC diagnostic ignored "-Wunused-parameter"
#pragma GCC diagnostic ignored "-Wunused-but-set-variable"
#pragma GCC diagnostic ignored "-Wsign-compare"
#pragma GCC diagnostic ignored "-Wtype-limits"
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#pragma GCC diagnostic ignored "-Wimplicit-fallthrough"
#pragma GCC diagnostic ignored "-Wmisleading-indentation"
#if !defined(__clang__)
#pragma GCC diagnostic ignored "-Wstringop-overflow"
#endif
#endif
#include <stb_image.h>
#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif

namespace {

struct StbPixels {
    stbi_uc* pixels = nullptr;
    ~StbPixels() { stbi_image_free(pixels); }
};

bool anyAlpha(const stbi_uc* pixels, int width, int height, int channels) {
    const std::size_t count = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    for (std::size_t i = 0; i < count; ++i)
        if (pixels[i * static_cast<std::size_t>(channels) + static_cast<std::size_t>(channels - 1)] != 0) return true;
    return false;
}

}  // namespace

std::unique_ptr<RGBImage> decodeWithStb(const unsigned char* data, std::size_t size) {
    if (size == 0 || size > INT_MAX) return nullptr;
    const int length = static_cast<int>(size);
    int width = 0, height = 0, channels = 0;
    if (!stbi_info_from_memory(data, length, &width, &height, &channels)) return nullptr;
    if (!imageSizeAcceptable(width, height)) return nullptr;

    StbPixels decoded;
    decoded.pixels = stbi_load_from_memory(data, length, &width, &height, &channels, 0);
    if (!decoded.pixels || channels < 1 || channels > 4) return nullptr;
    auto result = makeRGBImage(width, height);
    if (!result) return nullptr;

    const bool grey = channels < 3;
    // Many writers leave a 32-bit file's alpha at zero throughout: it
    // means nothing, and the picture is shown opaque (as BMP is).
    const bool alpha = (channels == 2 || channels == 4) && anyAlpha(decoded.pixels, width, height, channels);
    const stbi_uc* in = decoded.pixels;
    // stb delivers the top row first.
    for (int y = height - 1; y >= 0; --y) {
        unsigned char* out = result->row(y);
        for (int x = 0; x < width; ++x, in += channels, out += 3) {
            const unsigned a = alpha ? in[channels - 1] : 255u;
            for (int c = 0; c < 3; ++c) {
                const unsigned v = in[grey ? 0 : c];
                out[c] = static_cast<unsigned char>((v * a + 127) / 255);
            }
        }
    }
    return result;
}
