#pragma once

// Copies a packed 8-bit RGB picture (rows of width x 3 bytes, no padding) at
// another size. The destination buffer must hold dstWidth x dstHeight x 3
// bytes and is written completely; all sizes are at least 1. Both buffers
// stay the caller's.
//
// Halving both sides is an exact 2x2 average, rounded half up. Every other
// pair of sizes goes through an area-weighted box filter whose windows wrap
// around to the opposite edge where they stick out of the picture.
void resampleImage(int srcWidth, int srcHeight, const unsigned char* src,
                   int dstWidth, int dstHeight, unsigned char* dst);
