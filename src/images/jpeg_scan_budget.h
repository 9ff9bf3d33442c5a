#pragma once
#include <cstddef>

// Whether decoding a JPEG's scans is bounded work, judged from its markers
// before anything is decoded. Every progressive scan passes over all the
// blocks of its components again, so a file of hundreds of repeated scans
// (a few kilobytes) takes minutes and gigabytes to decode. Refused:
//   - more than kMaxJpegScans scans;
//   - scans that together visit more than kMaxJpegScanPasses times the
//     blocks of the whole frame (a usual progressive script visits each
//     block about four times).
// Files this cannot read (no frame header before the first scan) pass: the
// decoder refuses them itself.
bool jpegScanWorkAcceptable(const unsigned char* data, std::size_t size);

constexpr int kMaxJpegScans = 64;
constexpr int kMaxJpegScanPasses = 12;
