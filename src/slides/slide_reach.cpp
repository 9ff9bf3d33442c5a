#include "slides/slide_reach.h"

#include <algorithm>
#include <cmath>

#include "settings/settings.h"
#include "slides/nearest_power_of_two.h"

namespace {

// The nearest depth one end of a path reaches: its z is drawn around
// `mean` (negative in front of the eye).
double nearestEnd(float mean, float sigma) {
    return -static_cast<double>(mean) - kReachSigmas * std::fabs(static_cast<double>(sigma));
}

int roundedUp(double pixels) {
    if (!(pixels > 1.0)) return 1;
    return static_cast<int>(std::min(std::ceil(pixels - 1e-9), 1e9));
}

}  // namespace

double nearestApproach(const Settings& settings) {
    const double nearest = std::min(nearestEnd(settings.z0Mean, settings.z0Sigma),
                                    nearestEnd(settings.z1Mean, settings.z1Sigma));
    // Not a number (a broken setting) counts as the nearest drawn depth.
    if (!(nearest >= kNearPlane)) return kNearPlane;
    return std::min(nearest, kFarPlane);
}

PictureNeed boxAtDepth(int width, int height, double depth) {
    if (width < 1 || height < 1 || !(depth > 0.0)) return {};
    return {roundedUp(width / depth), roundedUp(height / depth)};
}

TextureExtent textureExtentFor(const PictureNeed& box, int limit) {
    if (limit < 1) return {};
    if (!box.bounded()) return {limit, limit};
    return {std::min(nearestPowerOfTwo(box.width), limit),
            std::min(nearestPowerOfTwo(box.height), limit)};
}

PictureNeed needWithin(const PictureNeed& box, const TextureExtent& extent) {
    if (!box.bounded()) return {extent.width, extent.height};
    return {std::min(box.width, extent.width), std::min(box.height, extent.height)};
}

int textureSide(int side, std::int64_t fittedSide) {
    if (fittedSide < side) return nearestPowerOfTwo(static_cast<int>(std::max<std::int64_t>(fittedSide, 1)));
    return nearestPowerOfTwo(side);
}

DisplayReach displayReach(int width, int height, int limit, const Settings& settings) {
    const PictureNeed box = boxAtDepth(width, height, nearestApproach(settings));
    const TextureExtent extent = textureExtentFor(box, limit);
    return {extent, box, needWithin(box, {limit, limit})};
}
