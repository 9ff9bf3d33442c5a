#pragma once
#include <cstdint>

// Whether a declared canvas (a GIF's logical screen, an animation's canvas)
// frames its first picture: only when it holds not much more than the
// picture, at most four times its pixels, or when it is no larger than a
// 4096x4096 picture (48 MiB) whatever it holds. A canvas beyond both is
// mostly a declared size with nothing in it, which a file of a few bytes
// can claim; the picture is then shown alone.
inline bool canvasFramesPicture(std::int64_t canvasWidth, std::int64_t canvasHeight,
                                std::int64_t pictureWidth, std::int64_t pictureHeight) {
    constexpr std::int64_t kAlwaysFramed = std::int64_t{4096} * 4096;
    const std::int64_t canvas = canvasWidth * canvasHeight;
    return canvas <= kAlwaysFramed || canvas <= 4 * pictureWidth * pictureHeight;
}
