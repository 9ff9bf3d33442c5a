#include "loader/pair_composer.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>
#include <utility>

#include "slides/resample_image.h"

namespace {

// Where the two halves and the gap go, in the pair's own terms: "along" is
// the axis the halves follow each other on (x side by side, y stacked),
// "across" the one they share.
struct Layout {
    int across = 0;  // the shared side
    int firstAlong = 0;
    int gap = 0;
    int secondAlong = 0;
    int along() const { return firstAlong + gap + secondAlong; }
};

int atLeastOne(double value) { return std::max(1, static_cast<int>(std::lround(value))); }

Layout layoutFor(double firstAlongOverAcross, double secondAlongOverAcross, int across) {
    Layout layout;
    layout.across = across;
    layout.firstAlong = atLeastOne(firstAlongOverAcross * across);
    layout.secondAlong = atLeastOne(secondAlongOverAcross * across);
    layout.gap = atLeastOne(across * PairComposer::kGapFraction);
    return layout;
}

// Copies `src` at w x h into `dst` with its lower-left corner at (x, y).
bool place(const RGBImage& src, RGBImage& dst, int x, int y, int w, int h) {
    const std::size_t rowBytes = static_cast<std::size_t>(w) * 3;
    if (w == src.width && h == src.height) {
        for (int row = 0; row < h; ++row)
            std::memcpy(dst.row(y + row) + static_cast<std::size_t>(x) * 3, src.row(row), rowBytes);
        return true;
    }
    const auto scaled = makeRGBImage(w, h);
    if (!scaled) return false;
    resampleImage(src.width, src.height, src.pixels, w, h, scaled->pixels);
    for (int row = 0; row < h; ++row)
        std::memcpy(dst.row(y + row) + static_cast<std::size_t>(x) * 3, scaled->row(row), rowBytes);
    return true;
}

}  // namespace

Shape shapeOf(int width, int height) {
    if (width > height) return Shape::Landscape;
    if (height > width) return Shape::Portrait;
    return Shape::Square;
}

std::unique_ptr<RGBImage> composePair(const RGBImage& first, const RGBImage& second,
                                      bool sideBySide, int largestEdge) {
    if (first.width < 1 || first.height < 1 || second.width < 1 || second.height < 1) return nullptr;
    auto acrossOf = [sideBySide](const RGBImage& image) {
        return sideBySide ? image.height : image.width;
    };
    auto alongOf = [sideBySide](const RGBImage& image) {
        return sideBySide ? image.width : image.height;
    };
    const double firstRatio = static_cast<double>(alongOf(first)) / acrossOf(first);
    const double secondRatio = static_cast<double>(alongOf(second)) / acrossOf(second);
    // The smaller picture sets the shared side: nothing is enlarged.
    Layout layout = layoutFor(firstRatio, secondRatio, std::min(acrossOf(first), acrossOf(second)));
    const int longer = std::max(layout.along(), layout.across);
    if (largestEdge > 0 && longer > largestEdge) {
        const double scale = static_cast<double>(largestEdge) / longer;
        layout = layoutFor(firstRatio, secondRatio, atLeastOne(layout.across * scale));
    }

    const int width = sideBySide ? layout.along() : layout.across;
    const int height = sideBySide ? layout.across : layout.along();
    auto pair = makeRGBImage(width, height);
    if (!pair) return nullptr;
    std::memset(pair->pixels, 0, static_cast<std::size_t>(width) * height * 3);
    bool placed = false;
    if (sideBySide) {
        placed = place(first, *pair, 0, 0, layout.firstAlong, layout.across) &&
                 place(second, *pair, layout.firstAlong + layout.gap, 0, layout.secondAlong,
                       layout.across);
    } else {
        // Rows run bottom up: the second picture is the lower one.
        placed = place(second, *pair, 0, 0, layout.across, layout.secondAlong) &&
                 place(first, *pair, 0, layout.secondAlong + layout.gap, layout.across,
                       layout.firstAlong);
    }
    if (!placed) return nullptr;
    pair->files = first.files;
    pair->files.insert(pair->files.end(), second.files.begin(), second.files.end());
    return pair;
}

std::unique_ptr<RGBImage> PairComposer::takeWaiting(Shape shape) {
    for (auto it = waiting_.begin(); it != waiting_.end(); ++it) {
        if (shapeOf((*it)->width, (*it)->height) != shape) continue;
        auto picture = std::move(*it);
        waiting_.erase(it);
        return picture;
    }
    return nullptr;
}

std::unique_ptr<RGBImage> PairComposer::next(const Pick& pick, int screenWidth, int screenHeight,
                                             bool pairs, int largestEdge) {
    std::unique_ptr<RGBImage> first;
    if (!waiting_.empty()) {
        first = std::move(waiting_.front());
        waiting_.pop_front();
    } else {
        first = pick();
    }
    if (!first || !pairs) return first;
    const Shape screen = shapeOf(screenWidth, screenHeight);
    if (screen == Shape::Square) return first;
    // The shape that leaves most of this monitor black when alone.
    const Shape wanted = screen == Shape::Landscape ? Shape::Portrait : Shape::Landscape;
    if (shapeOf(first->width, first->height) != wanted) return first;

    auto partner = takeWaiting(wanted);
    // Waiting pictures are shown before any new one is looked for, so the
    // queue stays short whatever the pictures' shapes.
    for (int picks = 0; !partner && picks < kPartnerPicks && waiting_.size() < kPartnerPicks;
         ++picks) {
        auto picked = pick();
        if (!picked) break;
        if (shapeOf(picked->width, picked->height) == wanted) partner = std::move(picked);
        else waiting_.push_back(std::move(picked));
    }
    if (!partner) return first;

    std::unique_ptr<RGBImage> pair;
    try {
        pair = composePair(*first, *partner, screen == Shape::Landscape, largestEdge);
    } catch (const std::bad_alloc&) {
        pair.reset();
    }
    if (pair) return pair;
    // Short of memory for the pair: each shows alone, the partner next.
    waiting_.push_front(std::move(partner));
    return first;
}
