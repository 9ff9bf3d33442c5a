#pragma once
#include <span>

#include "platform/window_surface.h"

// How much a pixel format suits the slideshow: 0 for one it cannot draw
// with (no OpenGL, not on a window, single-buffered or indexed colour);
// otherwise colour bits plus twice the depth bits, less half the colour
// bits beyond 16, plus 2000 for a driver's own format or 1000 for an
// accelerated generic one.
int pixelFormatScore(const PixelFormatDescription& format);

// The 1-based index of the best format in `formats` (the lowest index among
// equals), or 0 when none scores above 0.
int bestPixelFormat(std::span<const PixelFormatDescription> formats);

// Gives the window behind `surface` the best of its formats, or, when none
// qualifies, the platform's choice for a minimal request. False when the
// window ends up without a format.
bool selectPixelFormat(WindowSurface& surface);
