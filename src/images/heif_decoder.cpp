#include "images/heif_decoder.h"

#include <libheif/heif.h>

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "images/byte_order.h"
#include "images/heif_checks.h"
#include "images/over_black.h"

namespace {

constexpr std::size_t kRecognitionBytes = 128;

#ifdef FUZZING_BUILD_MODE_UNSAFE_FOR_PRODUCTION
// libheif allocates with new[], which a sanitizer's allocation cap turns into
// an abort rather than bad_alloc; under the fuzzer every image of the file
// stays small enough for the cap.
constexpr int kLibheifMaxSide = 2048;
#else
// libheif's own limit on every image it reads, tiles and alpha included:
// no side of an acceptable picture is longer.
constexpr int kLibheifMaxSide = 65535;
#endif

// libheif addresses rows with int offsets: a decoded image of 2 GiB or more
// would wrap them.
constexpr std::uint64_t kMaxDecodedBytes = std::uint64_t{1} << 31;

// Brands of still pictures and sequences that libheif reads; a sequence is
// shown by its primary picture.
constexpr const char* kBrands[] = {"heic", "heix", "heim", "heis", "hevc", "hevx",
                                   "mif1", "msf1", "avif", "avis"};

bool isHeifBrand(const unsigned char* brand) {
    return std::any_of(std::begin(kBrands), std::end(kBrands),
                       [&](const char* known) { return std::memcmp(brand, known, 4) == 0; });
}

// libheif keeps process-wide state (its decoder registry); it is set up
// once and lives as long as the process.
void initialiseLibheifOnce() {
    static const bool initialised = [] {
        heif_init(nullptr);
        return true;
    }();
    (void)initialised;
}

class HeifContext {
public:
    HeifContext() : context_(heif_context_alloc()) {}
    ~HeifContext() {
        if (context_) heif_context_free(context_);
    }
    HeifContext(const HeifContext&) = delete;
    HeifContext& operator=(const HeifContext&) = delete;
    heif_context* get() const { return context_; }

private:
    heif_context* context_;
};

class HeifHandle {
public:
    HeifHandle() = default;
    ~HeifHandle() {
        if (handle_) heif_image_handle_release(handle_);
    }
    HeifHandle(const HeifHandle&) = delete;
    HeifHandle& operator=(const HeifHandle&) = delete;
    heif_image_handle** out() { return &handle_; }
    heif_image_handle* get() const { return handle_; }

private:
    heif_image_handle* handle_ = nullptr;
};

class HeifImage {
public:
    HeifImage() = default;
    ~HeifImage() {
        if (image_) heif_image_release(image_);
    }
    HeifImage(const HeifImage&) = delete;
    HeifImage& operator=(const HeifImage&) = delete;
    heif_image** out() { return &image_; }
    heif_image* get() const { return image_; }

private:
    heif_image* image_ = nullptr;
};

class DecodingOptions {
public:
    DecodingOptions() : options_(heif_decoding_options_alloc()) {}
    ~DecodingOptions() {
        if (options_) heif_decoding_options_free(options_);
    }
    DecodingOptions(const DecodingOptions&) = delete;
    DecodingOptions& operator=(const DecodingOptions&) = delete;
    heif_decoding_options* get() const { return options_; }

private:
    heif_decoding_options* options_;
};

// How the decoded samples are laid out and what one of them means.
struct SampleLayout {
    bool alpha;          // a fourth channel
    bool premultiplied;  // the colours already carry their alpha
    bool deep;           // 16-bit little-endian samples instead of 8-bit ones
    unsigned maximum;    // the largest sample value (255, 1023, 4095)
};

// Deeper samples to 8 bits, to the nearest level.
unsigned char roundToEight(std::uint32_t value, std::uint32_t maximum) {
    return static_cast<unsigned char>((std::min(value, maximum) * 255 + maximum / 2) / maximum);
}

// A deep colour sample over black, rounded once from the exact product.
unsigned char deepOverBlack(std::uint32_t value, std::uint32_t alpha, std::uint32_t maximum) {
    const std::uint64_t scale = std::uint64_t{maximum} * maximum;
    const std::uint64_t product =
        std::uint64_t{std::min(value, maximum)} * std::min(alpha, maximum) * 255;
    return static_cast<unsigned char>((product + scale / 2) / scale);
}

void convertDeepRow(const unsigned char* in, int width, const SampleLayout& layout,
                    unsigned char* out) {
    const int channels = layout.alpha ? 4 : 3;
    for (int x = 0; x < width; ++x, in += channels * 2, out += 3) {
        const std::uint32_t r = readLE16(in), g = readLE16(in + 2), b = readLE16(in + 4);
        if (!layout.alpha || layout.premultiplied) {
            out[0] = roundToEight(r, layout.maximum);
            out[1] = roundToEight(g, layout.maximum);
            out[2] = roundToEight(b, layout.maximum);
            continue;
        }
        const std::uint32_t a = readLE16(in + 6);
        out[0] = deepOverBlack(r, a, layout.maximum);
        out[1] = deepOverBlack(g, a, layout.maximum);
        out[2] = deepOverBlack(b, a, layout.maximum);
    }
}

void convertRow(const unsigned char* in, int width, const SampleLayout& layout,
                unsigned char* out) {
    if (layout.deep) {
        convertDeepRow(in, width, layout, out);
    } else if (!layout.alpha) {
        std::memcpy(out, in, static_cast<std::size_t>(width) * 3);
    } else if (layout.premultiplied) {
        for (int x = 0; x < width; ++x, in += 4, out += 3) std::memcpy(out, in, 3);
    } else {
        rgbaRowOverBlack(in, static_cast<std::size_t>(width), out);
    }
}

heif_chroma chromaFor(bool alpha, bool deep) {
    if (deep) return alpha ? heif_chroma_interleaved_RRGGBBAA_LE : heif_chroma_interleaved_RRGGBB_LE;
    return alpha ? heif_chroma_interleaved_RGBA : heif_chroma_interleaved_RGB;
}

}  // namespace

bool isHeif(const unsigned char* data, std::size_t size) {
    if (!data || size < 16 || std::memcmp(data + 4, "ftyp", 4) != 0) return false;
    const std::size_t boxSize = (std::size_t{readBE16(data)} << 16) | readBE16(data + 2);
    if (boxSize < 16) return false;
    const std::size_t end = std::min({boxSize, size, kRecognitionBytes});
    if (isHeifBrand(data + 8)) return true;
    // Past the major brand and its version, the compatible brands.
    for (std::size_t at = 16; at + 4 <= end; at += 4)
        if (isHeifBrand(data + at)) return true;
    return false;
}

std::unique_ptr<RGBImage> decodeHeif(const unsigned char* data, std::size_t size) {
    if (!isHeif(data, size)) return nullptr;
    initialiseLibheifOnce();
    HeifContext context;
    if (!context.get()) return nullptr;
    heif_context_set_maximum_image_size_limit(context.get(), kLibheifMaxSide);
    // What the Windows build's libheif and libde265 mishandle is refused
    // before they see it.
    if (!heifStructureAcceptable(data, size)) return nullptr;
    // The bytes outlive the context: no copy.
    if (heif_context_read_from_memory_without_copy(context.get(), data, size, nullptr).code !=
        heif_error_Ok)
        return nullptr;
    HeifHandle handle;
    if (heif_context_get_primary_image_handle(context.get(), handle.out()).code != heif_error_Ok)
        return nullptr;

    // The declared sizes decide before anything is decoded: the picture's
    // after rotation and crop, and the stored one, which libheif decodes
    // whole before it crops (a small crop of a huge grid).
    if (!imageSizeAcceptable(heif_image_handle_get_width(handle.get()),
                             heif_image_handle_get_height(handle.get())) ||
        !imageSizeAcceptable(heif_image_handle_get_ispe_width(handle.get()),
                             heif_image_handle_get_ispe_height(handle.get())))
        return nullptr;
    const bool alpha = heif_image_handle_has_alpha_channel(handle.get()) != 0;
    const bool deep = heif_image_handle_get_luma_bits_per_pixel(handle.get()) > 8;
    const int declaredWidth = heif_image_handle_get_width(handle.get());
    const int declaredHeight = heif_image_handle_get_height(handle.get());
    // Rows are padded to 64 bytes at most.
    const std::uint64_t decodedRowBytes = (std::uint64_t(heif_image_handle_get_ispe_width(handle.get())) + 64) *
                                          (alpha ? 4u : 3u) * (deep ? 2u : 1u);
    if (decodedRowBytes * std::uint64_t(heif_image_handle_get_ispe_height(handle.get())) >= kMaxDecodedBytes)
        return nullptr;

    DecodingOptions options;
    if (!options.get()) return nullptr;
    // Rotation, mirror and crop are the file's own; its EXIF block, which
    // often repeats the rotation, is not read.
    options.get()->ignore_transformations = 0;
    options.get()->convert_hdr_to_8bit = 0;
    HeifImage decoded;
    if (heif_decode_image(handle.get(), decoded.out(), heif_colorspace_RGB, chromaFor(alpha, deep),
                          options.get())
            .code != heif_error_Ok)
        return nullptr;

    const int width = heif_image_get_width(decoded.get(), heif_channel_interleaved);
    const int height = heif_image_get_height(decoded.get(), heif_channel_interleaved);
    // libheif decodes what the stream codes, whatever the file declares.
    if (width != declaredWidth || height != declaredHeight) return nullptr;
    int stride = 0;
    const std::uint8_t* plane =
        heif_image_get_plane_readonly(decoded.get(), heif_channel_interleaved, &stride);
    const int bits = heif_image_get_bits_per_pixel_range(decoded.get(), heif_channel_interleaved);
    const SampleLayout layout{alpha, heif_image_is_premultiplied_alpha(decoded.get()) != 0, deep,
                              deep ? (1u << std::clamp(bits, 9, 16)) - 1 : 255u};
    auto result = makeRGBImage(width, height);
    if (!result || !plane || stride <= 0) return nullptr;
    const std::size_t pixelBytes = (alpha ? 4u : 3u) * (deep ? 2u : 1u);
    if (static_cast<std::size_t>(stride) < pixelBytes * static_cast<std::size_t>(width))
        return nullptr;
    for (int y = 0; y < height; ++y)
        convertRow(plane + static_cast<std::size_t>(y) * stride, width, layout,
                   result->row(height - 1 - y));
    return result;
}
