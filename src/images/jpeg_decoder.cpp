#include "images/jpeg_decoder.h"

#include <turbojpeg.h>

#include <cstdlib>
#include <cstring>

#include "images/exif_orientation.h"
#include "images/jpeg_scan_budget.h"
#include "images/jpeg_segments.h"
#include "images/jpeg_sizing.h"

namespace {

class TurboDecompressor {
public:
    TurboDecompressor() : handle_(tjInitDecompress()) {}
    ~TurboDecompressor() {
        if (handle_) tjDestroy(handle_);
    }
    TurboDecompressor(const TurboDecompressor&) = delete;
    TurboDecompressor& operator=(const TurboDecompressor&) = delete;

    tjhandle get() const { return handle_; }

private:
    tjhandle handle_;
};

// The texts of libjpeg's warnings, the only messages it goes on after.
constexpr const char* kWarningTexts[] = {
    "Corrupt JPEG data",
    "Premature end of JPEG file",
    "Unknown Adobe color transform code",
    "Inconsistent progression sequence",
    "Warning: unknown JFIF revision number",
    "Invalid SOS parameters for sequential JPEG",
    "Application transferred too many scanlines",
};

// libjpeg goes on past damage it can step over (junk before a marker, a
// malformed APP segment, data that ends early, whose missing rows it fills
// with grey) and only warns; every viewer shows such a file, so only a
// fatal error refuses it. TurboJPEG still calls a fatal error that came
// after a warning a warning, although it wrote no row; the message, the
// last one libjpeg gave, tells them apart.
bool decodeFailed(tjhandle handle, int status) {
    if (status == 0) return false;
    if (tjGetErrorCode(handle) != TJERR_WARNING) return true;
    const char* message = tjGetErrorStr2(handle);
    for (const char* warning : kWarningTexts)
        if (std::strncmp(message, warning, std::strlen(warning)) == 0) return false;
    return true;
}

// Photoshop and most other writers that add an Adobe APP14 marker store
// CMYK inverted (0 = full ink).
bool hasAdobeMarker(const unsigned char* data, std::size_t size) {
    return visitJpegSegments(data, size, [](unsigned char marker, const unsigned char* payload,
                                            std::size_t bytes) {
        return marker == 0xEE && bytes >= 5 && std::memcmp(payload, "Adobe", 5) == 0;
    });
}

// Naive CMYK to RGB without a colour profile; good enough for a slideshow.
void cmykToRgb(const unsigned char* cmyk, std::size_t pixels, bool inverted, unsigned char* rgb) {
    for (std::size_t i = 0; i < pixels; ++i, cmyk += 4, rgb += 3) {
        unsigned c = cmyk[0], m = cmyk[1], y = cmyk[2], k = cmyk[3];
        if (!inverted) {
            c = 255 - c;
            m = 255 - m;
            y = 255 - y;
            k = 255 - k;
        }
        // Now 255 means no ink. The pixel is read before it is written:
        // the output may lie on the input, a pixel behind.
        rgb[0] = static_cast<unsigned char>((c * k + 127) / 255);
        rgb[1] = static_cast<unsigned char>((m * k + 127) / 255);
        rgb[2] = static_cast<unsigned char>((y * k + 127) / 255);
    }
}

constexpr int kFlags = TJFLAG_BOTTOMUP | TJFLAG_LIMITSCANS;

// Decoded into the picture's own buffer, made with room for four bytes a
// pixel, and turned into RGB where it lies: no second picture-sized buffer.
std::unique_ptr<RGBImage> decodeCmyk(tjhandle handle, const unsigned char* data, std::size_t size,
                                     int width, int height) {
    auto result = makeRGBImageWithRoom(width, height, 4);
    if (!result) return nullptr;
    const std::size_t pixels = static_cast<std::size_t>(width) * height;
    const int status = tjDecompress2(handle, data, static_cast<unsigned long>(size), result->pixels,
                                     width, 0, height, TJPF_CMYK, kFlags);
    if (decodeFailed(handle, status)) return nullptr;
    cmykToRgb(result->pixels, pixels, hasAdobeMarker(data, size), result->pixels);
    return result;
}

// The decoder's scaling factors 1/1, 1/2, 1/4 and 1/8. The n/8 scales
// between them go through libjpeg's plain C transforms and cost more than
// the next larger of these (3/8 of a 24 MP photograph more than 1/2).
JpegScale scaleFor(int width, int height, const PictureNeed& need, Orientation orientation) {
    int count = 0;
    const tjscalingfactor* factors = tjGetScalingFactors(&count);
    JpegScale options[32];
    int n = 0;
    for (int i = 0; factors && i < count && n < 32; ++i)
        if (factors[i].num == 1) options[n++] = JpegScale{factors[i].num, factors[i].denom};
    return chooseJpegScale(width, height, need, orientation, options, n);
}

}  // namespace

bool isJpeg(const unsigned char* data, std::size_t size) {
    return size >= 3 && data[0] == 0xFF && data[1] == 0xD8 && data[2] == 0xFF;
}

namespace {

std::unique_ptr<RGBImage> decodeStored(const unsigned char* data, std::size_t size,
                                       const PictureNeed& need, Orientation orientation) {
    // TurboJPEG takes the size as unsigned long, 32 bits on Windows.
    if (size > 0xFFFFFFFFu) return nullptr;
    TurboDecompressor decompressor;
    tjhandle handle = decompressor.get();
    if (!handle) return nullptr;

    int width = 0, height = 0, subsampling = 0, colourspace = 0;
    const int header = tjDecompressHeader3(handle, data, static_cast<unsigned long>(size), &width,
                                           &height, &subsampling, &colourspace);
    if (decodeFailed(handle, header)) return nullptr;
    if (!imageSizeAcceptable(width, height)) return nullptr;
    // A progressive file holds every coefficient of the whole picture until
    // its last scan, however small it is decoded.
    if (progressiveCoefficientBytes(data, size) > kMaxCoefficientBytes) return nullptr;
    const JpegScale scale = scaleFor(width, height, need, orientation);
    width = static_cast<int>(jpegScaled(width, scale));
    height = static_cast<int>(jpegScaled(height, scale));

    if (colourspace == TJCS_CMYK || colourspace == TJCS_YCCK)
        return decodeCmyk(handle, data, size, width, height);
    auto result = makeRGBImage(width, height);
    if (!result) return nullptr;

    // Straight into the picture's buffer, bottom row first: no second copy.
    const int status = tjDecompress2(handle, data, static_cast<unsigned long>(size),
                                     result->pixels, width, 0, height, TJPF_RGB, kFlags);
    if (decodeFailed(handle, status)) return nullptr;
    return result;
}

}  // namespace

std::unique_ptr<RGBImage> decodeJpeg(const unsigned char* data, std::size_t size) {
    return decodeJpegFor(data, size, PictureNeed{});
}

std::unique_ptr<RGBImage> decodeJpegFor(const unsigned char* data, std::size_t size,
                                        const PictureNeed& need) {
    if (!isJpeg(data, size)) return nullptr;
    if (!jpegScanWorkAcceptable(data, size)) return nullptr;
    // Phones and cameras store the sensor's rows as they come and say in
    // the EXIF block which way up the picture was taken.
    const Orientation orientation = jpegExifOrientation(data, size);
    return orientImage(decodeStored(data, size, need, orientation), orientation);
}
