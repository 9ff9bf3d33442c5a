#include "images/exif_orientation.h"

#include <cstdint>
#include <cstring>

#include "images/byte_order.h"
#include "images/jpeg_segments.h"

namespace {

constexpr unsigned char kApp1 = 0xE1;
constexpr std::uint16_t kOrientationTag = 0x0112;
constexpr std::uint16_t kShortType = 3;
constexpr std::size_t kEntryBytes = 12;

// The TIFF structure inside an EXIF block, in its own byte order.
class TiffBlock {
public:
    TiffBlock(const unsigned char* data, std::size_t size) : data_(data), size_(size) {}

    bool readHeader() {
        if (size_ < 8) return false;
        if (std::memcmp(data_, "II", 2) == 0)
            bigEndian_ = false;
        else if (std::memcmp(data_, "MM", 2) == 0)
            bigEndian_ = true;
        else
            return false;
        return read16(2) == 42;
    }

    // The first directory's Orientation, 0 when it is not there or broken.
    long orientation() const {
        const std::uint32_t directory = read32(4);
        if (directory < 8 || directory > size_ - 2) return 0;
        const std::size_t entries = read16(directory);
        for (std::size_t i = 0; i < entries; ++i) {
            const std::size_t entry = directory + 2 + i * kEntryBytes;
            if (entry + kEntryBytes > size_) return 0;
            if (read16(entry) != kOrientationTag) continue;
            if (read16(entry + 2) != kShortType || read32(entry + 4) != 1) return 0;
            return read16(entry + 8);
        }
        return 0;
    }

private:
    std::uint16_t read16(std::size_t at) const {
        const unsigned char* p = data_ + at;
        return bigEndian_ ? readBE16(p) : readLE16(p);
    }
    std::uint32_t read32(std::size_t at) const {
        const unsigned char* p = data_ + at;
        return bigEndian_ ? (std::uint32_t{readBE16(p)} << 16) | readBE16(p + 2)
                          : readLE32(p);
    }

    const unsigned char* data_;
    std::size_t size_;
    bool bigEndian_ = false;
};

// The first directory's Orientation of a TIFF structure, 0 when there is
// none or it is broken.
long tiffBlockOrientation(const unsigned char* data, std::size_t size) {
    TiffBlock block(data, size);
    return block.readHeader() ? block.orientation() : 0;
}

constexpr char kExifPrefix[] = "Exif\0";  // and the terminator: six bytes

}  // namespace

Orientation jpegExifOrientation(const unsigned char* data, std::size_t size) {
    long value = 0;
    visitJpegSegments(data, size, [&](unsigned char marker, const unsigned char* payload,
                                      std::size_t bytes) {
        // "Exif" and two zero bytes, then the TIFF structure; other APP1
        // blocks (XMP) are passed over.
        if (marker != kApp1 || bytes < 6 || std::memcmp(payload, kExifPrefix, 6) != 0) return false;
        value = tiffBlockOrientation(payload + 6, bytes - 6);
        return true;
    });
    return orientationFromTag(value);
}

Orientation pngExifOrientation(const unsigned char* data, std::size_t size) {
    // Chunks after the 8-byte signature: length, type, data, CRC. The walk
    // only jumps from header to header, so a long file costs little.
    std::size_t pos = 8;
    while (pos <= size && size - pos >= 12) {
        const std::size_t length = (std::size_t{data[pos]} << 24) | (std::size_t{data[pos + 1]} << 16) |
                                   (std::size_t{data[pos + 2]} << 8) | data[pos + 3];
        const unsigned char* type = data + pos + 4;
        if (length > size - pos - 12) return Orientation::upright;  // cut short
        const unsigned char* payload = data + pos + 8;
        if (std::memcmp(type, "eXIf", 4) == 0) return exifBlockOrientation(payload, length);
        if (std::memcmp(type, "IEND", 4) == 0) break;
        pos += 12 + length;
    }
    return Orientation::upright;
}

Orientation exifBlockOrientation(const unsigned char* data, std::size_t size) {
    if (!data) return Orientation::upright;
    // Some writers keep the JPEG marker's "Exif" prefix in the block.
    if (size >= 6 && std::memcmp(data, kExifPrefix, 6) == 0)
        return orientationFromTag(tiffBlockOrientation(data + 6, size - 6));
    return orientationFromTag(tiffBlockOrientation(data, size));
}
