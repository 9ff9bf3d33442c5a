#include "images/picture_need.h"

#include <algorithm>

namespace {

// ceil(side * box / limit) in integers, at least 1.
std::int64_t scaledUp(std::int64_t side, std::int64_t box, std::int64_t limit) {
    return std::max<std::int64_t>(1, (side * box + limit - 1) / limit);
}

}  // namespace

PictureSize fittedSize(std::int64_t width, std::int64_t height, const PictureNeed& need) {
    if (!need.bounded() || width <= 0 || height <= 0) return {width, height};
    if (width <= need.width && height <= need.height) return {width, height};
    // The limiting side is the one whose box share is smaller:
    // need.width / width against need.height / height, compared exactly.
    if (static_cast<std::int64_t>(need.width) * height <= static_cast<std::int64_t>(need.height) * width)
        return {need.width, scaledUp(height, need.width, width)};
    return {scaledUp(width, need.height, height), need.height};
}

bool coversNeed(std::int64_t resultWidth, std::int64_t resultHeight, std::int64_t width,
                std::int64_t height, const PictureNeed& need) {
    const PictureSize fitted = fittedSize(width, height, need);
    return resultWidth >= fitted.width && resultHeight >= fitted.height;
}
