#include "images/jpeg_decoder.h"

#include <turbojpeg.h>

#include <cstdlib>
#include <cstring>

#include "images/exif_orientation.h"
#include "images/jpeg_scan_budget.h"
#include "images/jpeg_segments.h"

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

struct FreeDeleter {
    void operator()(unsigned char* p) const { std::free(p); }
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
        // Now 255 means no ink.
        rgb[0] = static_cast<unsigned char>((c * k + 127) / 255);
        rgb[1] = static_cast<unsigned char>((m * k + 127) / 255);
        rgb[2] = static_cast<unsigned char>((y * k + 127) / 255);
    }
}

constexpr int kFlags = TJFLAG_BOTTOMUP | TJFLAG_LIMITSCANS;

std::unique_ptr<RGBImage> decodeCmyk(tjhandle handle, const unsigned char* data, std::size_t size,
                                     std::unique_ptr<RGBImage> result) {
    const std::size_t pixels = static_cast<std::size_t>(result->width) * result->height;
    std::unique_ptr<unsigned char, FreeDeleter> cmyk(
        static_cast<unsigned char*>(std::malloc(pixels * 4)));
    if (!cmyk) return nullptr;
    const int status = tjDecompress2(handle, data, static_cast<unsigned long>(size), cmyk.get(),
                                     result->width, 0, result->height, TJPF_CMYK, kFlags);
    if (decodeFailed(handle, status)) return nullptr;
    cmykToRgb(cmyk.get(), pixels, hasAdobeMarker(data, size), result->pixels);
    return result;
}

}  // namespace

bool isJpeg(const unsigned char* data, std::size_t size) {
    return size >= 3 && data[0] == 0xFF && data[1] == 0xD8 && data[2] == 0xFF;
}

namespace {

std::unique_ptr<RGBImage> decodeStored(const unsigned char* data, std::size_t size) {
    // TurboJPEG takes the size as unsigned long, 32 bits on Windows.
    if (size > 0xFFFFFFFFu) return nullptr;
    TurboDecompressor decompressor;
    tjhandle handle = decompressor.get();
    if (!handle) return nullptr;

    int width = 0, height = 0, subsampling = 0, colourspace = 0;
    const int header = tjDecompressHeader3(handle, data, static_cast<unsigned long>(size), &width,
                                           &height, &subsampling, &colourspace);
    if (decodeFailed(handle, header)) return nullptr;
    auto result = makeRGBImage(width, height);
    if (!result) return nullptr;

    if (colourspace == TJCS_CMYK || colourspace == TJCS_YCCK)
        return decodeCmyk(handle, data, size, std::move(result));

    // Straight into the picture's buffer, bottom row first: no second copy.
    const int status = tjDecompress2(handle, data, static_cast<unsigned long>(size),
                                     result->pixels, width, 0, height, TJPF_RGB, kFlags);
    if (decodeFailed(handle, status)) return nullptr;
    return result;
}

}  // namespace

std::unique_ptr<RGBImage> decodeJpeg(const unsigned char* data, std::size_t size) {
    if (!isJpeg(data, size)) return nullptr;
    if (!jpegScanWorkAcceptable(data, size)) return nullptr;
    // Phones and cameras store the sensor's rows as they come and say in
    // the EXIF block which way up the picture was taken.
    return orientImage(decodeStored(data, size), jpegExifOrientation(data, size));
}
