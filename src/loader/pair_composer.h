#pragma once
#include <deque>
#include <functional>
#include <memory>

#include "images/rgb_image.h"

// The shape of an upright picture or a monitor. A square one is neither
// and never shares a slide.
enum class Shape { Landscape, Portrait, Square };
Shape shapeOf(int width, int height);

// Puts two pictures on one slide where a single one would leave most of the
// monitor black: two portrait pictures side by side on a landscape monitor,
// two landscape pictures stacked on a portrait one, a thin black gap
// between them. Pictures arrive upright (orientation already applied), so
// their sizes tell their shapes.
//
// The partner is the next picture of the wanted shape the pick hands out,
// within kPartnerPicks picks. Pictures picked on the way are not lost: they
// wait here and are returned, one per call, before anything new is picked.
// One composer per loader thread; it has no lock.
class PairComposer {
public:
    // The next picture of the show, or null once picking should end (a
    // stop). Never asked again after it returned null within one call.
    using Pick = std::function<std::unique_ptr<RGBImage>()>;

    // How many pictures are picked looking for a partner before a picture
    // shows alone.
    static constexpr int kPartnerPicks = 3;
    // The gap's width over the pair's shorter side.
    static constexpr double kGapFraction = 1.0 / 64.0;

    // The next slide's picture for a screenWidth x screenHeight monitor: a
    // pair when `pairs` is on and a partner comes, the picture alone
    // otherwise. A pair's longer edge is at most `largestEdge` (0: no
    // bound), which is all a texture can show. Null only when `pick` gave
    // null and nothing was waiting.
    std::unique_ptr<RGBImage> next(const Pick& pick, int screenWidth, int screenHeight, bool pairs,
                                   int largestEdge);

    // Pictures picked while looking for a partner and not yet returned.
    std::size_t waiting() const { return waiting_.size(); }

private:
    // The first waiting picture of `shape`, taken out, or null.
    std::unique_ptr<RGBImage> takeWaiting(Shape shape);

    std::deque<std::unique_ptr<RGBImage>> waiting_;  // in the order picked
};

// `first` left of `second` (sideBySide) or above it, both scaled to the
// same height (width) of at most the smaller one's, with a black gap; the
// longer edge at most `largestEdge` (0: no bound). Null when memory is
// short.
std::unique_ptr<RGBImage> composePair(const RGBImage& first, const RGBImage& second,
                                      bool sideBySide, int largestEdge);
