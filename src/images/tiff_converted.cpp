#include "images/tiff_converted.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "images/image_orientation.h"
#include "images/tiff_directory.h"

namespace {

// The most that one band of converted rows may hold.
constexpr std::uint64_t kMaxBandBytes = std::uint64_t{64} << 20;

class RgbaImage {
public:
    RgbaImage() = default;
    ~RgbaImage() {
        if (begun_) TIFFRGBAImageEnd(&image_);
    }
    RgbaImage(const RgbaImage&) = delete;
    RgbaImage& operator=(const RgbaImage&) = delete;

    bool begin(TIFF* tif, char* message) {
        begun_ = TIFFRGBAImageBegin(&image_, tif, 1, message) == 1;
        return begun_;
    }
    TIFFRGBAImage& get() { return image_; }

private:
    TIFFRGBAImage image_{};
    bool begun_ = false;
};

// Rows per band: whole strips or rows of tiles, so that each is decoded
// once, unless that is more than the band may hold.
std::uint32_t bandRows(TIFF* tif, std::uint32_t width, std::uint32_t height) {
    std::uint32_t rows = 0;
    if (TIFFIsTiled(tif))
        TIFFGetField(tif, TIFFTAG_TILELENGTH, &rows);
    else
        rows = tiffFieldOr<std::uint32_t>(tif, TIFFTAG_ROWSPERSTRIP, height);
    const std::uint64_t most = std::max<std::uint64_t>(1, kMaxBandBytes / (std::uint64_t{width} * 4));
    // Whole chroma blocks (subsampling is at most 4 rows).
    const std::uint64_t cap = most >= 4 ? most / 4 * 4 : most;
    return static_cast<std::uint32_t>(std::clamp<std::uint64_t>(rows, 1, std::min<std::uint64_t>(cap, height)));
}

}  // namespace

std::unique_ptr<RGBImage> loadConvertedTiff(TIFF* tif, const char* path) {
    char message[1024] = "";
    if (!TIFFRGBAImageOK(tif, message)) {
        reportTiff("Glimmora: TIFF image %s unsupported; %s\n", path, message);
        return nullptr;
    }
    if (tiffFieldOr<std::uint16_t>(tif, TIFFTAG_PHOTOMETRIC, 0) == PHOTOMETRIC_CIELAB) {
        // L* a* b* is taken relative to the display's own white, so that
        // L* 100 without colour shows white rather than D50's yellow.
        float d65[2] = {0.3127f, 0.3290f};
        TIFFSetField(tif, TIFFTAG_WHITEPOINT, d65);
    }
    const std::uint32_t width = tiffFieldOr<std::uint32_t>(tif, TIFFTAG_IMAGEWIDTH, 0);
    const std::uint32_t height = tiffFieldOr<std::uint32_t>(tif, TIFFTAG_IMAGELENGTH, 0);
    if (!imageSizeAcceptable(width, height)) return nullptr;
    RgbaImage rgba;
    if (!rgba.begin(tif, message)) {
        reportTiff("Glimmora: TIFF image %s unsupported; %s\n", path, message);
        return nullptr;
    }
    TIFFRGBAImage& image = rgba.get();
    // Rows come as stored; the Orientation tag is applied below, as for
    // every other TIFF.
    image.req_orientation = image.orientation;
    auto result = makeRGBImage(width, height);
    if (!result) return nullptr;
    const std::uint32_t rows = bandRows(tif, width, height);
    std::vector<std::uint32_t> band;
    try {
        band.resize(std::size_t{width} * rows);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
    for (std::uint32_t top = 0; top < height; top += rows) {
        const std::uint32_t count = std::min(rows, height - top);
        // Cleared first: a strip that decodes short leaves the rest black.
        std::memset(band.data(), 0, band.size() * sizeof band[0]);
        image.row_offset = static_cast<int>(top);
        image.col_offset = 0;
        if (TIFFRGBAImageGet(&image, band.data(), width, count) != 1) return nullptr;
        for (std::uint32_t y = 0; y < count; ++y) {
            const std::uint32_t* in = band.data() + std::size_t{y} * width;
            unsigned char* out = result->row(static_cast<int>(height - 1 - (top + y)));
            // Alpha is associated by now: the colours are over black.
            for (std::uint32_t x = 0; x < width; ++x, out += 3) {
                out[0] = static_cast<unsigned char>(TIFFGetR(in[x]));
                out[1] = static_cast<unsigned char>(TIFFGetG(in[x]));
                out[2] = static_cast<unsigned char>(TIFFGetB(in[x]));
            }
        }
    }
    const Orientation orientation = orientationFromTag(static_cast<std::uint16_t>(image.orientation));
    return orientImage(std::move(result), orientation);
}
