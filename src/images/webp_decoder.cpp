#include "images/webp_decoder.h"

#include <webp/decode.h>
#include <webp/demux.h>

#include <cstdlib>
#include <cstring>

#include "images/canvas_bound.h"
#include "images/exif_orientation.h"
#include "images/image_orientation.h"
#include "images/over_black.h"

namespace {

constexpr std::size_t kHeaderBytes = 16;

struct FreeDeleter {
    void operator()(unsigned char* p) const { std::free(p); }
};

class Demuxer {
public:
    explicit Demuxer(const WebPData& data) : demux_(WebPDemux(&data)) {}
    ~Demuxer() {
        if (demux_) WebPDemuxDelete(demux_);
    }
    Demuxer(const Demuxer&) = delete;
    Demuxer& operator=(const Demuxer&) = delete;
    const WebPDemuxer* get() const { return demux_; }

private:
    WebPDemuxer* demux_;
};

class ChunkIterator {
public:
    ChunkIterator() { std::memset(&iterator_, 0, sizeof iterator_); }
    ~ChunkIterator() { WebPDemuxReleaseChunkIterator(&iterator_); }
    ChunkIterator(const ChunkIterator&) = delete;
    ChunkIterator& operator=(const ChunkIterator&) = delete;
    WebPChunkIterator* get() { return &iterator_; }

private:
    WebPChunkIterator iterator_;
};

class FrameIterator {
public:
    FrameIterator() { std::memset(&iterator_, 0, sizeof iterator_); }
    ~FrameIterator() { WebPDemuxReleaseIterator(&iterator_); }
    FrameIterator(const FrameIterator&) = delete;
    FrameIterator& operator=(const FrameIterator&) = delete;
    WebPIterator* get() { return &iterator_; }

private:
    WebPIterator iterator_;
};

// Only extended files (VP8X) carry metadata; the flag in their header says
// whether there is an EXIF chunk at all.
Orientation webpOrientation(const unsigned char* data, std::size_t size) {
    constexpr std::size_t kFlagsAt = 20;
    constexpr unsigned char kExifFlag = 0x08;
    if (size <= kFlagsAt || std::memcmp(data + 12, "VP8X", 4) != 0 ||
        (data[kFlagsAt] & kExifFlag) == 0)
        return Orientation::upright;
    const WebPData webp{data, size};
    Demuxer demux(webp);
    if (!demux.get()) return Orientation::upright;
    ChunkIterator chunk;
    if (!WebPDemuxGetChunk(demux.get(), "EXIF", 1, chunk.get())) return Orientation::upright;
    return exifBlockOrientation(chunk.get()->chunk.bytes, chunk.get()->chunk.size);
}

// An animation's first frame over black, on its canvas: the frame alone is
// decoded, from its own chunk, and placed at its offset. (libwebp's
// animation decoder would keep two RGBA canvases for it, eight bytes for
// every pixel of a canvas that the header alone declares.) Over a
// transparent canvas the first frame blends to itself, so this is what
// that decoder shows too. A canvas hugely larger than its first frame
// (canvasFramesPicture) is refused.
std::unique_ptr<RGBImage> decodeFirstFrame(const unsigned char* data, std::size_t size,
                                           std::int64_t canvasWidth, std::int64_t canvasHeight) {
    const WebPData webp{data, size};
    Demuxer demux(webp);
    if (!demux.get()) return nullptr;
    FrameIterator iterator;
    if (!WebPDemuxGetFrame(demux.get(), 1, iterator.get())) return nullptr;
    const WebPIterator& frame = *iterator.get();
    // The demuxer has checked that the frame lies on the canvas. A canvas
    // that the header alone makes huge is refused, as for a still picture.
    const std::int64_t width = canvasWidth, height = canvasHeight;
    const std::int64_t left = frame.x_offset, top = frame.y_offset;
    if (!imageSizeAcceptable(width, height) ||
        !canvasFramesPicture(width, height, frame.width, frame.height) || left < 0 || top < 0 ||
        left + frame.width > width || top + frame.height > height)
        return nullptr;
    auto result = makeRGBImage(width, height);
    if (!result) return nullptr;
    std::memset(result->pixels, 0, static_cast<std::size_t>(width * height * 3));

    const std::size_t frameWidth = static_cast<std::size_t>(frame.width);
    const std::size_t frameBytes = frameWidth * static_cast<std::size_t>(frame.height) * 4;
    std::unique_ptr<unsigned char, FreeDeleter> rgba(static_cast<unsigned char*>(std::malloc(frameBytes)));
    if (!rgba) return nullptr;
    WebPDecoderConfig config;
    if (!WebPInitDecoderConfig(&config)) return nullptr;
    config.output.colorspace = MODE_RGBA;
    config.output.is_external_memory = 1;
    config.output.u.RGBA.rgba = rgba.get();
    config.output.u.RGBA.stride = static_cast<int>(frameWidth * 4);
    config.output.u.RGBA.size = frameBytes;
    const VP8StatusCode status = WebPDecode(frame.fragment.bytes, frame.fragment.size, &config);
    WebPFreeDecBuffer(&config.output);
    if (status != VP8_STATUS_OK || config.output.width != frame.width ||
        config.output.height != frame.height)
        return nullptr;
    for (int y = 0; y < frame.height; ++y)
        rgbaRowOverBlack(rgba.get() + static_cast<std::size_t>(y) * frameWidth * 4, frameWidth,
                         result->row(static_cast<int>(height - 1 - (top + y))) + left * 3);
    return result;
}

// A still picture, decoded bottom row first straight into the picture's
// buffer; with alpha as RGBA into a buffer made with room for four bytes a
// pixel, then composited over black where it lies (each pixel is read
// before anything is written over it), so no second picture-sized buffer.
std::unique_ptr<RGBImage> decodeStill(const unsigned char* data, std::size_t size, bool alpha,
                                      int width, int height) {
    auto result = alpha ? makeRGBImageWithRoom(width, height, 4) : makeRGBImage(width, height);
    if (!result) return nullptr;
    WebPDecoderConfig config;
    if (!WebPInitDecoderConfig(&config)) return nullptr;
    config.options.flip = 1;
    const std::size_t pixels = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    const int bytesPerPixel = alpha ? 4 : 3;
    WebPRGBABuffer& out = config.output.u.RGBA;
    config.output.is_external_memory = 1;
    config.output.colorspace = alpha ? MODE_RGBA : MODE_RGB;
    out.rgba = result->pixels;
    out.stride = width * bytesPerPixel;
    out.size = pixels * static_cast<std::size_t>(bytesPerPixel);
    const VP8StatusCode status = WebPDecode(data, size, &config);
    // External memory stays the caller's; this frees nothing else.
    WebPFreeDecBuffer(&config.output);
    if (status != VP8_STATUS_OK) return nullptr;
    if (alpha) rgbaRowOverBlack(result->pixels, pixels, result->pixels);
    return result;
}

}  // namespace

bool isWebp(const unsigned char* data, std::size_t size) {
    return data && size >= kHeaderBytes && std::memcmp(data, "RIFF", 4) == 0 &&
           std::memcmp(data + 8, "WEBP", 4) == 0;
}

std::unique_ptr<RGBImage> decodeWebp(const unsigned char* data, std::size_t size) {
    return decodeWebpFor(data, size, PictureNeed{});
}

std::unique_ptr<RGBImage> decodeWebpFor(const unsigned char* data, std::size_t size,
                                        const PictureNeed& need) {
    if (!isWebp(data, size)) return nullptr;
    WebPBitstreamFeatures features;
    if (WebPGetFeatures(data, size, &features) != VP8_STATUS_OK) return nullptr;
    std::unique_ptr<RGBImage> result;
    if (features.has_animation) {
        result = decodeFirstFrame(data, size, features.width, features.height);
    } else {
        // The header alone decides whether the picture may be held.
        result = decodeStill(data, size, features.has_alpha != 0, features.width, features.height);
    }
    if (!result) return nullptr;
    return orientImageFor(std::move(result), webpOrientation(data, size), need);
}
