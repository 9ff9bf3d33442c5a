#include "images/image_orientation.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

void swapPixels(unsigned char* a, unsigned char* b) {
    for (int c = 0; c < 3; ++c) std::swap(a[c], b[c]);
}

void mirrorRows(RGBImage& image) {
    for (int y = 0; y < image.height; ++y) {
        unsigned char* row = image.row(y);
        for (int left = 0, right = image.width - 1; left < right; ++left, --right)
            swapPixels(row + left * 3, row + right * 3);
    }
}

void swapTopAndBottom(RGBImage& image) {
    const std::size_t rowBytes = static_cast<std::size_t>(image.width) * 3;
    for (int low = 0, high = image.height - 1; low < high; ++low, --high)
        std::swap_ranges(image.row(low), image.row(low) + rowBytes, image.row(high));
}

// Displayed pixel (x, y), counted from the top left, comes from stored
// pixel (sourceX, sourceY), also from the top left, for the four
// orientations that swap the sides.
struct QuarterTurn {
    bool xFromRight;  // source column counts back from the right
    bool yFromBottom; // source row counts back from the bottom
};

QuarterTurn quarterTurn(Orientation orientation) {
    switch (orientation) {
        case Orientation::transposed: return {false, false};
        case Orientation::clockwise: return {false, true};
        case Orientation::transverse: return {true, true};
        default: return {true, false};  // anticlockwise
    }
}

std::unique_ptr<RGBImage> turned(const RGBImage& source, Orientation orientation) {
    auto result = makeRGBImage(source.height, source.width);
    if (!result) return nullptr;
    const QuarterTurn turn = quarterTurn(orientation);
    const int width = result->width, height = result->height;
    // Displayed row y is stored column y (or its mirror), displayed column
    // x is stored row x (or its mirror), both counted from the top. Square
    // tiles keep the column walk through the source within the cache.
    constexpr int kTile = 64;
    for (int y0 = 0; y0 < height; y0 += kTile)
        for (int x0 = 0; x0 < width; x0 += kTile) {
            const int yEnd = std::min(height, y0 + kTile), xEnd = std::min(width, x0 + kTile);
            for (int y = y0; y < yEnd; ++y) {
                unsigned char* out = result->row(height - 1 - y) + x0 * 3;
                const int sourceX = turn.xFromRight ? source.width - 1 - y : y;
                for (int x = x0; x < xEnd; ++x, out += 3) {
                    const int sourceY = turn.yFromBottom ? source.height - 1 - x : x;
                    std::memcpy(out, source.row(source.height - 1 - sourceY) + sourceX * 3, 3);
                }
            }
        }
    return result;
}

}  // namespace

Orientation orientationFromTag(long value) {
    if (value < 1 || value > 8) return Orientation::upright;
    return static_cast<Orientation>(value);
}

std::unique_ptr<RGBImage> orientImage(std::unique_ptr<RGBImage> image, Orientation orientation) {
    if (!image) return nullptr;
    switch (orientation) {
        case Orientation::upright: return image;
        case Orientation::mirrored: mirrorRows(*image); return image;
        case Orientation::upsideDown:
            mirrorRows(*image);
            swapTopAndBottom(*image);
            return image;
        case Orientation::mirroredUpsideDown: swapTopAndBottom(*image); return image;
        default: return turned(*image, orientation);
    }
}

bool turnsQuarter(Orientation orientation) {
    return orientation == Orientation::transposed || orientation == Orientation::clockwise ||
           orientation == Orientation::transverse || orientation == Orientation::anticlockwise;
}

namespace {

// Each `bin` x `bin` block of `source` averaged into one pixel, rounded to
// the nearest level; the last columns and rows that make no whole block are
// left out.
std::unique_ptr<RGBImage> binned(const RGBImage& source, int bin) {
    auto result = makeRGBImage(source.width / bin, source.height / bin);
    if (!result) return nullptr;
    const unsigned area = static_cast<unsigned>(bin) * static_cast<unsigned>(bin);
    std::vector<unsigned> sums(static_cast<std::size_t>(result->width) * 3);
    for (int y = 0; y < result->height; ++y) {
        std::fill(sums.begin(), sums.end(), 0u);
        for (int r = 0; r < bin; ++r) {
            const unsigned char* in = source.row(y * bin + r);
            for (int x = 0; x < result->width; ++x)
                for (int c = 0; c < bin; ++c, in += 3)
                    for (int k = 0; k < 3; ++k) sums[static_cast<std::size_t>(x) * 3 + k] += in[k];
        }
        unsigned char* out = result->row(y);
        for (std::size_t i = 0; i < sums.size(); ++i)
            out[i] = static_cast<unsigned char>((sums[i] + area / 2) / area);
    }
    return result;
}

}  // namespace

std::unique_ptr<RGBImage> orientImageFor(std::unique_ptr<RGBImage> image, Orientation orientation,
                                         const PictureNeed& need) {
    if (!image || !turnsQuarter(orientation)) return orientImage(std::move(image), orientation);
    // Shown turned: the stored width is the shown height.
    int bin = 1;
    while (image->width / (bin * 2) >= 1 && image->height / (bin * 2) >= 1 &&
           coversNeed(image->height / (bin * 2), image->width / (bin * 2), image->height,
                      image->width, need))
        bin *= 2;
    if (bin == 1) return orientImage(std::move(image), orientation);
    auto smaller = binned(*image, bin);
    image.reset();
    return orientImage(std::move(smaller), orientation);
}
