#include "images/bmp_rle_decoder.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "images/byte_order.h"

namespace {

constexpr std::size_t kFileHeaderSize = 14;
constexpr std::uint32_t kInfoHeaderSize = 40;  // and larger, later versions
constexpr std::uint32_t kRle8 = 1;
constexpr std::uint32_t kRle4 = 2;

struct RleHeader {
    std::int64_t width;
    std::int64_t height;
    bool fourBit;
    std::uint64_t paletteAt;
    std::uint32_t colours;
    std::uint32_t dataAt;
};

bool readHeader(const unsigned char* data, std::size_t size, RleHeader& h) {
    if (size < kFileHeaderSize + kInfoHeaderSize) return false;
    const std::uint32_t infoSize = readLE32(data + 14);
    if (infoSize < kInfoHeaderSize) return false;  // the old OS/2 header has no compression
    const unsigned bits = readLE16(data + 28);
    const std::uint32_t compression = readLE32(data + 30);
    if (!((compression == kRle8 && bits == 8) || (compression == kRle4 && bits == 4))) return false;
    h.fourBit = compression == kRle4;
    h.width = static_cast<std::int32_t>(readLE32(data + 18));
    // Run-length data is always stored bottom row first; a negative
    // (top-down) height is not a valid run-length file.
    h.height = static_cast<std::int32_t>(readLE32(data + 22));
    const std::uint32_t most = 1u << bits;
    const std::uint32_t used = readLE32(data + 46);
    h.colours = used == 0 || used > most ? most : used;
    h.paletteAt = kFileHeaderSize + std::uint64_t{infoSize};
    h.dataAt = readLE32(data + 10);
    return true;
}

// Writes palette indices into the picture, cutting everything that falls
// outside it.
class RunWriter {
public:
    RunWriter(RGBImage& image, const unsigned char* palette, std::uint32_t colours)
        : image_(image), palette_(palette), colours_(colours) {}

    void put(unsigned index) {
        if (x_ < image_.width && y_ < image_.height) {
            unsigned char* out = image_.row(static_cast<int>(y_)) + x_ * 3;
            if (index < colours_) {
                const unsigned char* bgr = palette_ + index * 4;
                out[0] = bgr[2];
                out[1] = bgr[1];
                out[2] = bgr[0];
            }  // else left black, like a skipped pixel
        }
        ++x_;
    }
    // `count` pixels taking turns between `first` and `second`: only those
    // inside the picture are visited, however long the run.
    void run(std::uint64_t count, unsigned first, unsigned second) {
        const std::int64_t inside = x_ < image_.width ? image_.width - x_ : 0;
        const std::uint64_t visible = std::min<std::uint64_t>(count, static_cast<std::uint64_t>(inside));
        for (std::uint64_t i = 0; i < visible; ++i) put(i % 2 == 0 ? first : second);
        x_ += static_cast<std::int64_t>(count - visible);
    }
    // How many of the next `count` pixels fall inside the row.
    unsigned visible(unsigned count) const {
        if (x_ >= image_.width) return 0;
        return static_cast<unsigned>(std::min<std::int64_t>(count, image_.width - x_));
    }
    void skip(unsigned count) { x_ += count; }
    void endOfLine() {
        x_ = 0;
        ++y_;
    }
    void move(unsigned right, unsigned up) {
        x_ += right;
        y_ += up;
    }
    // Every row has been reached: what follows could only fall outside.
    bool pastTop() const { return y_ >= image_.height; }
    // The data may stop without its end code once the last row is whole.
    bool complete() const { return pastTop() || (y_ == image_.height - 1 && x_ >= image_.width); }

private:
    RGBImage& image_;
    const unsigned char* palette_;
    std::uint32_t colours_;
    std::int64_t x_ = 0;  // may run past the right edge
    std::int64_t y_ = 0;  // rows from the bottom
};

// The pixel indices in `bytes`: one a byte, or two a byte, high half first.
// Those past the right edge are stepped over at once.
void putIndices(RunWriter& writer, const unsigned char* bytes, unsigned count, bool fourBit) {
    const unsigned visible = writer.visible(count);
    for (unsigned i = 0; i < visible; ++i)
        writer.put(fourBit ? (i % 2 == 0 ? bytes[i / 2] >> 4 : bytes[i / 2] & 0x0F) : bytes[i]);
    writer.skip(count - visible);
}

bool decodeRuns(const unsigned char* pos, const unsigned char* end, bool fourBit, RunWriter& writer) {
    while (!writer.pastTop()) {
        if (end - pos < 2) return writer.complete();
        const unsigned count = pos[0], value = pos[1];
        pos += 2;
        if (count > 0) {
            // An encoded run: one index repeated, or with four bits two
            // indices taking turns.
            if (fourBit)
                writer.run(count, value >> 4, value & 0x0F);
            else
                writer.run(count, value, value);
            continue;
        }
        switch (value) {
            case 0: writer.endOfLine(); break;
            case 1: return true;  // end of bitmap
            case 2:
                if (end - pos < 2) return false;
                writer.move(pos[0], pos[1]);
                pos += 2;
                break;
            default: {
                // An absolute run of `value` indices, padded to whole words.
                const std::size_t bytes = fourBit ? (value + 1u) / 2 : value;
                if (static_cast<std::size_t>(end - pos) < bytes) return false;
                putIndices(writer, pos, value, fourBit);
                const std::size_t padded = bytes + (bytes & 1);
                pos += padded <= static_cast<std::size_t>(end - pos) ? padded : bytes;
                break;
            }
        }
    }
    return true;
}

}  // namespace

bool isRunLengthBmp(const unsigned char* data, std::size_t size) {
    RleHeader h;
    return readHeader(data, size, h);
}

std::unique_ptr<RGBImage> decodeRunLengthBmp(const unsigned char* data, std::size_t size) {
    RleHeader h;
    if (!readHeader(data, size, h)) return nullptr;
    if (h.paletteAt + std::uint64_t{h.colours} * 4 > size || h.dataAt > size) return nullptr;
    auto image = makeRGBImage(h.width, h.height);
    if (!image) return nullptr;
    std::memset(image->pixels, 0, static_cast<std::size_t>(h.width * h.height * 3));
    RunWriter writer(*image, data + h.paletteAt, h.colours);
    if (!decodeRuns(data + h.dataAt, data + size, h.fourBit, writer)) return nullptr;
    return image;
}
