#include "images/webp_decoder.h"

#include <webp/decode.h>
#include <webp/demux.h>

#include <cstdlib>
#include <cstring>

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

class AnimationDecoder {
public:
    AnimationDecoder(const WebPData& data, const WebPAnimDecoderOptions& options)
        : decoder_(WebPAnimDecoderNew(&data, &options)) {}
    ~AnimationDecoder() {
        if (decoder_) WebPAnimDecoderDelete(decoder_);
    }
    AnimationDecoder(const AnimationDecoder&) = delete;
    AnimationDecoder& operator=(const AnimationDecoder&) = delete;
    WebPAnimDecoder* get() const { return decoder_; }

private:
    WebPAnimDecoder* decoder_;
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

// The whole canvas of an animation's first frame, composited by libwebp
// over a transparent canvas and then over black.
std::unique_ptr<RGBImage> decodeFirstFrame(const unsigned char* data, std::size_t size,
                                           std::unique_ptr<RGBImage> result) {
    WebPAnimDecoderOptions options;
    if (!WebPAnimDecoderOptionsInit(&options)) return nullptr;
    options.color_mode = MODE_RGBA;
    options.use_threads = 0;
    const WebPData webp{data, size};
    AnimationDecoder decoder(webp, options);
    if (!decoder.get()) return nullptr;
    WebPAnimInfo info;
    if (!WebPAnimDecoderGetInfo(decoder.get(), &info) ||
        info.canvas_width != static_cast<std::uint32_t>(result->width) ||
        info.canvas_height != static_cast<std::uint32_t>(result->height))
        return nullptr;
    std::uint8_t* canvas = nullptr;
    int timestamp = 0;
    if (!WebPAnimDecoderGetNext(decoder.get(), &canvas, &timestamp) || !canvas) return nullptr;
    const std::size_t width = static_cast<std::size_t>(result->width);
    for (int y = 0; y < result->height; ++y)
        rgbaRowOverBlack(canvas + static_cast<std::size_t>(y) * width * 4, width,
                         result->row(result->height - 1 - y));
    return result;
}

// A still picture, decoded bottom row first; with alpha through an RGBA
// buffer of its own, without straight into the picture.
std::unique_ptr<RGBImage> decodeStill(const unsigned char* data, std::size_t size, bool alpha,
                                      std::unique_ptr<RGBImage> result) {
    WebPDecoderConfig config;
    if (!WebPInitDecoderConfig(&config)) return nullptr;
    config.options.flip = 1;
    const std::size_t width = static_cast<std::size_t>(result->width);
    const std::size_t height = static_cast<std::size_t>(result->height);
    std::unique_ptr<unsigned char, FreeDeleter> rgba;
    WebPRGBABuffer& out = config.output.u.RGBA;
    config.output.is_external_memory = 1;
    if (alpha) {
        rgba.reset(static_cast<unsigned char*>(std::malloc(width * height * 4)));
        if (!rgba) return nullptr;
        config.output.colorspace = MODE_RGBA;
        out.rgba = rgba.get();
        out.stride = static_cast<int>(width * 4);
        out.size = width * height * 4;
    } else {
        config.output.colorspace = MODE_RGB;
        out.rgba = result->pixels;
        out.stride = static_cast<int>(width * 3);
        out.size = width * height * 3;
    }
    const VP8StatusCode status = WebPDecode(data, size, &config);
    // External memory stays the caller's; this frees nothing else.
    WebPFreeDecBuffer(&config.output);
    if (status != VP8_STATUS_OK) return nullptr;
    if (alpha)
        for (std::size_t y = 0; y < height; ++y)
            rgbaRowOverBlack(rgba.get() + y * width * 4, width, result->row(static_cast<int>(y)));
    return result;
}

}  // namespace

bool isWebp(const unsigned char* data, std::size_t size) {
    return data && size >= kHeaderBytes && std::memcmp(data, "RIFF", 4) == 0 &&
           std::memcmp(data + 8, "WEBP", 4) == 0;
}

std::unique_ptr<RGBImage> decodeWebp(const unsigned char* data, std::size_t size) {
    if (!isWebp(data, size)) return nullptr;
    WebPBitstreamFeatures features;
    if (WebPGetFeatures(data, size, &features) != VP8_STATUS_OK) return nullptr;
    // The header alone decides whether the picture may be held.
    auto result = makeRGBImage(features.width, features.height);
    if (!result) return nullptr;
    result = features.has_animation
                 ? decodeFirstFrame(data, size, std::move(result))
                 : decodeStill(data, size, features.has_alpha != 0, std::move(result));
    if (!result) return nullptr;
    return orientImage(std::move(result), webpOrientation(data, size));
}
