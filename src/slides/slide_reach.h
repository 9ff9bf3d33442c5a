#pragma once
#include <cstdint>

#include "images/picture_need.h"

class Settings;

// How large a slide's picture can ever appear on one monitor, and so how
// large its texture and its decode need to be.
//
// The projection shows x and y from -d to d at depth d, and a slide's
// rectangle fits the square from -1 to 1, so at depth d the picture is
// fitted into a box 1/d times the viewport. A slide travels a straight line
// between its two drawn points, so its nearest approach is one of them.

// Slides nearer than the near plane are not drawn, nor beyond the far one.
inline constexpr double kNearPlane = 0.25;
inline constexpr double kFarPlane = 2.0;
// How many standard deviations nearer than its mean a path's end is
// allowed for: all but about one end in 30,000 come no nearer.
inline constexpr double kReachSigmas = 4.0;

// The nearest depth (in front of the eye, in scene units) that a slide's
// path reaches with the path settings of `settings`, held between the
// near and the far plane.
double nearestApproach(const Settings& settings);

// The box, in pixels, that a picture is fitted into at depth `depth` on a
// viewport of `width` x `height` pixels, each side rounded up.
PictureNeed boxAtDepth(int width, int height, double depth);

// Level 0 of the textures of a display whose pictures reach `box`: each
// side the power of two nearest the box's, but no more than `limit` (the
// texture limit setting or the driver's maximum). No picture's texture is
// larger (see textureSide).
struct TextureExtent {
    int width = 0;
    int height = 0;
    bool operator==(const TextureExtent&) const = default;
};
TextureExtent textureExtentFor(const PictureNeed& box, int limit);

// The box held within the texture `extent`.
PictureNeed needWithin(const PictureNeed& box, const TextureExtent& extent);

// The smallest power of two at least n (n >= 1).
constexpr int coveringPowerOfTwo(std::int64_t n) {
    int p = 1;
    while (p < n && p < (1 << 30)) p *= 2;
    return p;
}

// One side of a picture's texture (before the pool's bound): the power of
// two nearest what the picture shows at most, its own side or the fitted
// one, whichever is smaller. Nearest, as a picture's own side always was:
// the sampler magnifies by at most 1.5 at the nearest approach, which only
// one path end in thousands comes near, and a covering power would double
// the texels of most photographs for that.
int textureSide(int side, std::int64_t fittedSide);

// Both for one display: the textures of a viewport of `width` x `height`
// pixels under `limit`, the box its pictures are fitted into at the
// nearest approach (what sizes their textures), and what its loader asks
// the decoders for: the box held within the limit, not within the nearest
// powers, since a picture's texture may be wider or taller than its fitted
// size and the decode must cover that side too.
struct DisplayReach {
    TextureExtent extent;
    PictureNeed box;
    PictureNeed need;
};
DisplayReach displayReach(int width, int height, int limit, const Settings& settings);
