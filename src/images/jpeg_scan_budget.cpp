#include "images/jpeg_scan_budget.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "images/byte_order.h"

namespace {

struct Component {
    unsigned id = 0;
    std::uint64_t blocks = 0;
};

bool isFrameMarker(unsigned char marker) {
    // Start of frame, any process; not DHT (C4), JPG (C8) or DAC (CC).
    return marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
}

// The components of a frame header and the blocks each covers.
bool readFrame(const unsigned char* p, std::size_t length, Component (&components)[4], unsigned& count) {
    if (length < 6) return false;
    const std::uint64_t height = readBE16(p + 1), width = readBE16(p + 3);
    count = p[5];
    if (count == 0 || count > 4 || length < 6 + 3u * count) return false;
    unsigned hMax = 1, vMax = 1;
    auto horizontal = [&](unsigned i) { return std::max(1u, unsigned{p[7 + 3 * i]} >> 4); };
    auto vertical = [&](unsigned i) { return std::max(1u, unsigned{p[7 + 3 * i]} & 15u); };
    for (unsigned i = 0; i < count; ++i) {
        hMax = std::max(hMax, horizontal(i));
        vMax = std::max(vMax, vertical(i));
    }
    for (unsigned i = 0; i < count; ++i) {
        const unsigned h = horizontal(i), v = vertical(i);
        const std::uint64_t columns = (width * h + hMax - 1) / hMax, rows = (height * v + vMax - 1) / vMax;
        components[i] = {p[6 + 3 * i], ((columns + 7) / 8) * ((rows + 7) / 8)};
    }
    return true;
}

// Past the entropy-coded data that follows a scan header: to the next
// marker that is not a stuffed byte or a restart.
std::size_t skipEntropyData(const unsigned char* data, std::size_t size, std::size_t pos) {
    while (pos + 1 < size) {
        // The library's search runs many bytes a step: a camera's scan is
        // megabytes long, and this walk comes before every decode.
        const void* mark = std::memchr(data + pos, 0xFF, size - 1 - pos);
        if (!mark) return size;
        pos = static_cast<std::size_t>(static_cast<const unsigned char*>(mark) - data);
        const unsigned char next = data[pos + 1];
        if (next == 0x00 || (next >= 0xD0 && next <= 0xD7) || next == 0xFF) {
            pos += next == 0xFF ? 1 : 2;
            continue;
        }
        return pos;
    }
    return size;
}

}  // namespace

bool jpegScanWorkAcceptable(const unsigned char* data, std::size_t size) {
    Component components[4];
    unsigned componentCount = 0;
    std::uint64_t frameBlocks = 0, visited = 0;
    int scans = 0;
    std::size_t pos = 2;
    while (pos + 4 <= size) {
        if (data[pos] != 0xFF || data[pos + 1] == 0xFF || data[pos + 1] == 0x00) {
            ++pos;
            continue;
        }
        const unsigned char marker = data[pos + 1];
        if (marker == 0xD9) break;  // end of image
        if (marker >= 0xD0 && marker <= 0xD7) {
            pos += 2;
            continue;
        }
        const std::size_t length = readBE16(data + pos + 2);
        if (length < 2) break;
        const unsigned char* payload = data + pos + 4;
        const std::size_t payloadBytes = std::min(length - 2, size - (pos + 4));
        if (isFrameMarker(marker)) {
            if (!readFrame(payload, payloadBytes, components, componentCount)) return true;
            frameBlocks = 0;
            for (unsigned i = 0; i < componentCount; ++i) frameBlocks += components[i].blocks;
        }
        if (marker == 0xDA) {
            if (componentCount == 0 || payloadBytes < 1) return true;
            if (++scans > kMaxJpegScans) return false;
            const unsigned inScan = payload[0];
            for (unsigned i = 0; i < inScan && 1 + 2 * i < payloadBytes; ++i)
                for (unsigned c = 0; c < componentCount; ++c)
                    if (components[c].id == payload[1 + 2 * i]) visited += components[c].blocks;
            if (visited > kMaxJpegScanPasses * frameBlocks) return false;
            pos = skipEntropyData(data, size, pos + 2 + length);
            continue;
        }
        pos += 2 + length;
    }
    return true;
}
