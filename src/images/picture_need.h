#pragma once
#include <cstdint>

// How large a picture can ever be seen on the monitor that shows it: the
// box, in pixels, that the picture is fitted into in its own proportions at
// its nearest approach, already held within the texture the display can
// give it. A decoder may stop at any size that still fills this box, and
// the texture is never larger than it takes to cover it. Sides of 0 mean
// no bound: the picture is wanted at its full size.
struct PictureNeed {
    std::int32_t width = 0;
    std::int32_t height = 0;

    bool bounded() const { return width > 0 && height > 0; }
    bool operator==(const PictureNeed&) const = default;
};

// A picture's size when it is shown as large as `need` lets it be, in its
// own proportions: scaled down until it fits the box, never up. Each side
// is rounded up and at least 1. Unbounded needs, and pictures that fit
// already, keep their size.
struct PictureSize {
    std::int64_t width = 0;
    std::int64_t height = 0;
    bool operator==(const PictureSize&) const = default;
};
PictureSize fittedSize(std::int64_t width, std::int64_t height, const PictureNeed& need);

// True when a width x height result still shows the picture as sharp as
// `need` allows: both of its sides at least those of fittedSize().
bool coversNeed(std::int64_t resultWidth, std::int64_t resultHeight, std::int64_t width,
                std::int64_t height, const PictureNeed& need);
