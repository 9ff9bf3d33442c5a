#include "images/heif_streams.h"

namespace {

// Reads bits, most significant first; past the end every bit is zero and
// failed is set.
class Bits {
public:
    Bits(const unsigned char* data, std::size_t size) : data_(data), size_(size) {}
    // Up to 64 bits as a number; more are only stepped over.
    std::uint64_t read(unsigned count) {
        if (count > 64) {
            skip(count);
            return 0;
        }
        std::uint64_t value = 0;
        for (unsigned i = 0; i < count; ++i) {
            if (at_ >= size_ * 8) {
                failed_ = true;
                return count - i >= 64 ? 0 : value << (count - i);
            }
            value = value << 1 | ((data_[at_ / 8] >> (7 - at_ % 8)) & 1);
            ++at_;
        }
        return value;
    }
    void skip(std::size_t count) {
        if (count > size_ * 8 - at_) {
            failed_ = true;
            at_ = size_ * 8;
            return;
        }
        at_ += count;
    }
    // Exp-Golomb, as HEVC's parameter sets store numbers.
    std::uint32_t ue() {
        unsigned zeros = 0;
        while (read(1) == 0) {
            if (failed_ || ++zeros > 31) {
                failed_ = true;
                return 0;
            }
        }
        return static_cast<std::uint32_t>((std::uint64_t{1} << zeros) - 1 + read(zeros));
    }
    // AV1's uvlc().
    void skipUvlc() {
        unsigned zeros = 0;
        while (read(1) == 0) {
            if (failed_ || ++zeros >= 32) return;
        }
        read(zeros);
    }
    bool failed() const { return failed_; }

private:
    const unsigned char* data_;
    std::size_t size_;
    std::size_t at_ = 0;
    bool failed_ = false;
};

// The payload of a NAL unit without its emulation prevention bytes.
std::vector<unsigned char> unescape(const unsigned char* nal, std::size_t size) {
    std::vector<unsigned char> out;
    out.reserve(size);
    int zeros = 0;
    for (std::size_t i = 0; i < size; ++i) {
        if (zeros >= 2 && nal[i] == 3) {
            zeros = 0;
            continue;
        }
        zeros = nal[i] == 0 ? zeros + 1 : 0;
        out.push_back(nal[i]);
    }
    return out;
}

std::optional<CodedSize> spsSize(const unsigned char* nal, std::size_t size) {
    if (size < 3) return std::nullopt;
    const std::vector<unsigned char> rbsp = unescape(nal + 2, size - 2);
    Bits b(rbsp.data(), rbsp.size());
    b.read(4);
    const unsigned subLayers = static_cast<unsigned>(b.read(3));
    b.read(1);
    b.read(96);  // general profile, tier and level
    bool profilePresent[8] = {}, levelPresent[8] = {};
    for (unsigned i = 0; i < subLayers; ++i) {
        profilePresent[i] = b.read(1) != 0;
        levelPresent[i] = b.read(1) != 0;
    }
    if (subLayers > 0)
        for (unsigned i = subLayers; i < 8; ++i) b.read(2);
    for (unsigned i = 0; i < subLayers; ++i) {
        if (profilePresent[i]) b.read(88);
        if (levelPresent[i]) b.read(8);
    }
    b.ue();  // parameter set id
    const std::uint32_t chroma = b.ue();
    if (chroma == 3) b.read(1);
    const std::uint64_t width = b.ue(), height = b.ue();
    std::uint64_t left = 0, right = 0, top = 0, bottom = 0;
    if (b.read(1)) {
        left = b.ue();
        right = b.ue();
        top = b.ue();
        bottom = b.ue();
    }
    if (b.failed() || chroma > 3) return std::nullopt;
    const std::uint64_t subWidth = (chroma == 1 || chroma == 2) ? 2 : 1, subHeight = chroma == 1 ? 2 : 1;
    const std::uint64_t cutWidth = subWidth * (left + right), cutHeight = subHeight * (top + bottom);
    if (cutWidth >= width || cutHeight >= height) return CodedSize{};
    return CodedSize{static_cast<std::uint32_t>(width - cutWidth), static_cast<std::uint32_t>(height - cutHeight)};
}

// One OBU of AV1 data: its type and payload; false at the end or damage.
bool nextObu(const unsigned char* data, std::size_t size, std::size_t& at, unsigned& type,
             const unsigned char*& payload, std::size_t& payloadSize) {
    if (at >= size) return false;
    const unsigned char header = data[at++];
    type = (header >> 3) & 15;
    if (header & 4) {  // extension byte
        if (at >= size) return false;
        ++at;
    }
    std::uint64_t length = size - at;
    if (header & 2) {  // size field, leb128
        length = 0;
        for (unsigned i = 0;; ++i) {
            if (at >= size || i == 8) return false;
            const unsigned char byte = data[at++];
            length |= std::uint64_t{byte & 0x7Fu} << (7 * i);
            if (!(byte & 0x80)) break;
        }
    }
    if (length > size - at) return false;
    payload = data + at;
    payloadSize = static_cast<std::size_t>(length);
    at += payloadSize;
    return true;
}

constexpr unsigned kObuSequenceHeader = 1, kObuFrameHeader = 3, kObuFrame = 6;

std::optional<CodedSize> sequenceHeaderSize(const unsigned char* data, std::size_t size) {
    Bits b(data, size);
    b.read(3);  // profile
    b.read(1);  // still picture
    const bool reduced = b.read(1) != 0;
    if (reduced) {
        b.read(5);
    } else {
        bool decoderModel = false;
        unsigned delayBits = 0;
        if (b.read(1)) {  // timing info
            b.read(64);
            if (b.read(1)) b.skipUvlc();
            decoderModel = b.read(1) != 0;
            if (decoderModel) {
                delayBits = static_cast<unsigned>(b.read(5)) + 1;
                b.read(32);
                b.read(10);
            }
        }
        const bool displayDelay = b.read(1) != 0;
        const unsigned points = static_cast<unsigned>(b.read(5)) + 1;
        for (unsigned i = 0; i < points && !b.failed(); ++i) {
            b.read(12);
            if (b.read(5) > 7) b.read(1);
            if (decoderModel && b.read(1)) b.read(2 * delayBits + 1);
            if (displayDelay && b.read(1)) b.read(4);
        }
    }
    const unsigned widthBits = static_cast<unsigned>(b.read(4)) + 1;
    const unsigned heightBits = static_cast<unsigned>(b.read(4)) + 1;
    const std::uint64_t width = b.read(widthBits) + 1, height = b.read(heightBits) + 1;
    if (b.failed()) return std::nullopt;
    return CodedSize{static_cast<std::uint32_t>(width), static_cast<std::uint32_t>(height)};
}

}  // namespace

std::size_t hevcPictureCount(const std::vector<unsigned char>& data, unsigned lengthBytes) {
    std::size_t pictures = 0;
    std::size_t at = 0;
    while (lengthBytes >= 1 && lengthBytes <= 4 && data.size() - at >= lengthBytes) {
        std::uint64_t length = 0;
        for (unsigned i = 0; i < lengthBytes; ++i) length = length << 8 | data[at + i];
        at += lengthBytes;
        if (length > data.size() - at) break;
        if (length >= 3) {
            const unsigned type = (data[at] >> 1) & 63;
            // Coded slices (VCL units) whose first flag starts a picture.
            if (type < 32 && (data[at + 2] & 0x80)) ++pictures;
        }
        at += static_cast<std::size_t>(length);
    }
    return pictures;
}

unsigned hevcLengthBytes(const unsigned char* hvcC, std::size_t size) {
    return size >= 22 ? (hvcC[21] & 3u) + 1 : 4;
}

std::optional<CodedSize> hevcCodedSize(const unsigned char* hvcC, std::size_t size) {
    if (size < 23) return std::nullopt;
    std::size_t at = 23;
    for (unsigned array = 0; array < hvcC[22]; ++array) {
        if (size - at < 3) return std::nullopt;
        const unsigned type = hvcC[at] & 63;
        const unsigned count = static_cast<unsigned>(hvcC[at + 1] << 8 | hvcC[at + 2]);
        at += 3;
        for (unsigned n = 0; n < count; ++n) {
            if (size - at < 2) return std::nullopt;
            const std::size_t length = static_cast<std::size_t>(hvcC[at] << 8 | hvcC[at + 1]);
            at += 2;
            if (length > size - at) return std::nullopt;
            if (type == 33) return spsSize(hvcC + at, length);
            at += length;
        }
    }
    return std::nullopt;
}

std::size_t av1FrameCount(const std::vector<unsigned char>& data) {
    std::size_t frames = 0, at = 0, payloadSize = 0;
    unsigned type = 0;
    const unsigned char* payload = nullptr;
    while (nextObu(data.data(), data.size(), at, type, payload, payloadSize))
        if (type == kObuFrame || type == kObuFrameHeader) ++frames;
    return frames;
}

std::optional<CodedSize> av1CodedSize(const unsigned char* data, std::size_t size) {
    std::size_t at = 0, payloadSize = 0;
    unsigned type = 0;
    const unsigned char* payload = nullptr;
    while (nextObu(data, size, at, type, payload, payloadSize))
        if (type == kObuSequenceHeader) return sequenceHeaderSize(payload, payloadSize);
    return std::nullopt;
}
