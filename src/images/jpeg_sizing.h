#pragma once
#include <cstddef>
#include <cstdint>

#include "images/image_orientation.h"
#include "images/picture_need.h"

// A scaling factor of the JPEG decoder: the decoded size is the stored size
// times num / denom, rounded up.
struct JpegScale {
    int num = 1;
    int denom = 1;
    bool operator==(const JpegScale&) const = default;
};

// The smallest of `factors` (none above 1) whose result still covers
// `need` for a stored width x height picture that is shown turned as
// `orientation` says; 1/1 when none smaller does.
JpegScale chooseJpegScale(int width, int height, const PictureNeed& need,
                          Orientation orientation, const JpegScale* factors, int count);

// A side scaled as the decoder scales it.
inline std::int64_t jpegScaled(std::int64_t side, JpegScale scale) {
    return (side * scale.num + scale.denom - 1) / scale.denom;
}

// A progressive file is decoded from a buffer of all its DCT coefficients
// at full size, two bytes for each of a component's samples, whatever size
// it is decoded at. Those bytes, from its frame header; 0 for a file that
// is not progressive (or whose frame header cannot be read).
std::uint64_t progressiveCoefficientBytes(const unsigned char* data, std::size_t size);

// The most coefficient bytes a progressive file may need: as much as the
// largest picture the saver holds. Beyond it the file is refused.
constexpr std::uint64_t kMaxCoefficientBytes = std::uint64_t{768} << 20;
