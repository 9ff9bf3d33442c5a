#pragma once
#include <memory>

#include "images/picture_need.h"
#include "images/rgb_image.h"

// How a camera says its stored picture must be turned to be seen upright:
// the EXIF and TIFF Orientation values 1 to 8.
enum class Orientation {
    upright = 1,
    mirrored = 2,           // left and right swapped
    upsideDown = 3,         // turned half round
    mirroredUpsideDown = 4, // top and bottom swapped
    transposed = 5,         // stored row 0 is the left column, column 0 the top row
    clockwise = 6,          // to be turned a quarter clockwise
    transverse = 7,         // stored row 0 is the right column, column 0 the bottom row
    anticlockwise = 8,      // to be turned a quarter anticlockwise
};

// The orientation for a tag value; anything outside 1 to 8 means upright.
Orientation orientationFromTag(long value);

// The picture as it is to be seen. Quarter turns swap width and height and
// need a second buffer: null when that cannot be had (the picture is then
// lost, as a half-made one would be). Upright pictures come back untouched.
std::unique_ptr<RGBImage> orientImage(std::unique_ptr<RGBImage> image, Orientation orientation);

// True for the four orientations that swap width and height.
bool turnsQuarter(Orientation orientation);

// orientImage for a picture that is never shown larger than `need`: a
// quarter turn of a picture at least twice as large as it must be, on both
// sides, is made from a copy binned down by the largest power of two that
// still covers the need (exact box averages), so the second buffer is a
// fraction of the picture's. With an unbounded need it is orientImage.
std::unique_ptr<RGBImage> orientImageFor(std::unique_ptr<RGBImage> image, Orientation orientation,
                                         const PictureNeed& need);
