#pragma once
#include "images/rgb_image.h"

// Writes `count` RGBA texels of texture row `y`, starting at column `x0`,
// from `image` into `out`: the picture's pixels with a three-texel alpha
// ramp along its edges (colours premultiplied by the same factor), and
// transparent black beyond its right and top edges.
void writeTexelRow(const RGBImage& image, int x0, int y, int count, unsigned char* out);
