#pragma once
#include <cstddef>

#include "images/byte_order.h"

// Walks the marker segments of a JPEG file that come before its first scan
// and calls visit(marker, payload, payloadBytes) for each: the payload is
// what follows the length field, cut at the end of the data when the file
// is shorter than the segment says. Bytes between segments that are no
// marker (junk, a stuffed 0xFF00) are passed over, as libjpeg does. Stops
// at the first scan, at the end of the data or when visit returns true;
// returns whether visit did.
template <typename Visit>
bool visitJpegSegments(const unsigned char* data, std::size_t size, Visit&& visit) {
    std::size_t pos = 2;  // after the start-of-image marker
    while (pos + 4 <= size) {
        if (data[pos] != 0xFF) {  // junk before the next marker
            ++pos;
            continue;
        }
        const unsigned char marker = data[pos + 1];
        if (marker == 0xFF) {  // fill byte
            ++pos;
            continue;
        }
        if (marker == 0x00) {  // a stuffed 0xFF, no marker
            pos += 2;
            continue;
        }
        if (marker == 0xDA || marker == 0xD9) return false;  // start of scan, end of image
        const std::size_t length = readBE16(data + pos + 2);
        if (length < 2) return false;
        const std::size_t available = size - (pos + 4);
        const std::size_t payload = length - 2 < available ? length - 2 : available;
        if (visit(marker, data + pos + 4, payload)) return true;
        pos += 2 + length;
    }
    return false;
}
