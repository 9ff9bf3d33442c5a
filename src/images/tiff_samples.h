#pragma once
#include <cstddef>

// How a file stores its samples: 4-byte samples are either 32-bit unsigned
// integers or IEEE floats, and the two must not be confused.
enum class TiffSampleKind { unsignedInteger, ieeeFloat };

// Converts `count` file samples of `inSampleBytes` bytes each (1, 2 or 4, in
// the machine's byte order, as libtiff delivers them) to 8-bit samples.
// Each result goes to `destination`, which then advances by `step` bytes, so
// that one plane of a separately stored file lands interleaved in a row.
//   8-bit:  copied unchanged.
//   16-bit: rounded to the nearest level (0 -> 0, 65535 -> 255).
//   32-bit unsigned: rounded to the nearest level, exactly.
//   32-bit float: 1.0 is full intensity; every sample is dithered with its
//   own uniformReal(0, 1) draw, negatives and NaN give 0, above 1.0 clips.
// Any other sample size writes nothing.
void convertSamples(std::size_t count, int inSampleBytes, const unsigned char* source,
                    unsigned char* destination, std::ptrdiff_t step, TiffSampleKind kind);
