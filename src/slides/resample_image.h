#pragma once
#include <atomic>

// Copies a packed 8-bit RGB picture (rows of width x 3 bytes, no padding) at
// another size. The destination buffer must hold dstWidth x dstHeight x 3
// bytes and is written completely; all sizes are at least 1. Both buffers
// stay the caller's.
//
// Halving both sides is an exact 2x2 average, rounded half up. Every other
// pair of sizes goes through an area-weighted box filter whose windows wrap
// around to the opposite edge where they stick out of the picture.
//
// Sources up to kLargestCachedSide on both sides are filtered with
// per-side tables and rows converted once, a few times the source width in
// working memory. Larger ones (a 2^24 x 1 panorama is inside the pixel
// limit) are filtered pixel by pixel with constant working memory, to the
// same bytes.
inline constexpr int kLargestCachedSide = 65536;

//
// Once `cancel` (when given) reads true the filter stops before its next
// destination row and returns false, the destination only partly written.
// True when the whole picture was written.
//
// With `threads` of 2 the cached general filter shares its rows out with a
// second thread, to the same bytes: for a picture that something waits
// for while a processor is idle (the first one, with nothing on screen).
bool resampleImage(int srcWidth, int srcHeight, const unsigned char* src,
                   int dstWidth, int dstHeight, unsigned char* dst,
                   const std::atomic<bool>* cancel = nullptr, int threads = 1);
