#pragma once
#include <cstddef>
#include <cstring>

// True when the bytes begin like a TIFF or BigTIFF file, in either byte
// order.
inline bool isTiffSignature(const unsigned char* data, std::size_t size) {
    if (size < 4) return false;
    return std::memcmp(data, "II*\0", 4) == 0 || std::memcmp(data, "MM\0*", 4) == 0 ||
           std::memcmp(data, "II+\0", 4) == 0 || std::memcmp(data, "MM\0+", 4) == 0;
}
