// What one decode holds at its peak, counted through the sanitizer's
// allocation hooks: pictures whose files declare or imply far more memory
// than they show are refused, or decoded within a bound of their output.
#include <gtest/gtest.h>

#include <webp/encode.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

#include "images/decode_image_memory.h"
#include "images/image_fixtures.h"
#include "images/pixel_buffer_pool.h"

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define GLIMMORA_HEAP_HOOKS 1
// The sanitizers' own interface (GCC ships no header for it).
extern "C" {
int __sanitizer_install_malloc_and_free_hooks(void (*malloc_hook)(const volatile void*, std::size_t),
                                              void (*free_hook)(const volatile void*));
std::size_t __sanitizer_get_allocated_size(const volatile void* p);
}
#endif

namespace {

#ifdef GLIMMORA_HEAP_HOOKS
std::atomic<std::int64_t> liveBytes{0};
std::atomic<std::int64_t> peakBytes{0};

void onMalloc(const volatile void*, std::size_t size) {
    const std::int64_t now = liveBytes += static_cast<std::int64_t>(size);
    std::int64_t peak = peakBytes.load();
    while (now > peak && !peakBytes.compare_exchange_weak(peak, now)) {
    }
}
void onFree(const volatile void* p) {
    liveBytes -= static_cast<std::int64_t>(__sanitizer_get_allocated_size(p));
}

// The most bytes above the start that `work` held at once.
std::int64_t peakOf(const std::function<void()>& work) {
    // Hooks cannot be taken away again: they are installed once and count
    // for good; only differences are read.
    [[maybe_unused]] static const int installed =
        __sanitizer_install_malloc_and_free_hooks(onMalloc, onFree);
    PixelBufferPool::instance().trim();
    const std::int64_t start = liveBytes.load();
    peakBytes = start;
    work();
    PixelBufferPool::instance().trim();
    return peakBytes.load() - start;
}
#else
// Without the hooks only the results are checked.
std::int64_t peakOf(const std::function<void()>& work) {
    work();
    return 0;
}
#endif

void setBE16(std::string& bytes, std::size_t at, unsigned value) {
    bytes[at] = char(value >> 8);
    bytes[at + 1] = char(value & 0xFF);
}
void appendLE(std::string& out, std::uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) out += char((value >> (8 * i)) & 0xFF);
}
std::string chunk(const char* type, const std::string& payload) {
    std::string out(type, 4);
    appendLE(out, static_cast<std::uint32_t>(payload.size()), 4);
    out += payload;
    if (payload.size() % 2) out += '\0';
    return out;
}

// An animation of one 1x1 lossless frame on a canvas of the given size,
// about a hundred bytes.
std::string animatedWebp(int canvasWidth, int canvasHeight) {
    const std::uint8_t red[4] = {255, 0, 0, 255};
    std::uint8_t* encoded = nullptr;
    const std::size_t size = WebPEncodeLosslessRGBA(red, 1, 1, 4, &encoded);
    const std::string still(reinterpret_cast<const char*>(encoded), size);
    WebPFree(encoded);
    std::string vp8x(1, '\x02');  // animation
    vp8x += std::string(3, '\0');
    appendLE(vp8x, canvasWidth - 1, 3);
    appendLE(vp8x, canvasHeight - 1, 3);
    std::string anim(6, '\0');
    std::string frame;
    appendLE(frame, 0, 3);  // x / 2
    appendLE(frame, 0, 3);  // y / 2
    appendLE(frame, 0, 3);  // width - 1
    appendLE(frame, 0, 3);  // height - 1
    appendLE(frame, 100, 3);
    frame += '\0';
    frame += still.substr(12);  // the VP8L chunk
    std::string body = "WEBP" + chunk("VP8X", vp8x) + chunk("ANIM", anim) + chunk("ANMF", frame);
    std::string riff = "RIFF";
    appendLE(riff, static_cast<std::uint32_t>(body.size()), 4);
    return riff + body;
}

// A progressive CMYK JPEG whose frame header says 16384 x 16384: 2 GiB of
// coefficients, 1 GiB of CMYK and 768 MiB of RGB if it were decoded.
std::string hugeProgressiveCmyk() {
    std::string jpeg = cmykJpegFile(16, 16, std::vector<std::uint8_t>(16 * 16 * 4, 9), true,
                                    false, true);
    const std::size_t sof = jpeg.find("\xFF\xC2");
    setBE16(jpeg, sof + 5, 16384);
    setBE16(jpeg, sof + 7, 16384);
    return jpeg;
}

// A still WebP with alpha, 1024 x 1024, lossy as cameras and sites write
// them (the lossless decoder keeps a whole ARGB picture of its own).
std::string translucentWebp() {
    const TestPicture picture = testPicture(1024, 1024, true);
    std::uint8_t* encoded = nullptr;
    const std::size_t size = WebPEncodeRGBA(picture.rgba.data(), 1024, 1024, 1024 * 4, 80, &encoded);
    std::string file(reinterpret_cast<const char*>(encoded), size);
    WebPFree(encoded);
    return file;
}

std::string turnedPng(int width, int height) {
    return withPngChunk(pngFile(testPicture(width, height), PngLayout::rgb), "eXIf",
                        exifOrientationBlock(6).substr(6));
}

struct MemoryCase {
    const char* name;
    std::function<std::string()> file;
    PictureNeed need;
    int width, height;       // of the result; 0 for a refusal
    double mostOfDecode;     // the peak, in decode buffers of the file's full size
    std::int64_t decodeBytes;
};

constexpr std::int64_t kMiB = 1 << 20;

// Without the sanitizer's hooks (the Windows build) the sizes are checked
// but nothing is weighed.
TEST(DecodeMemory, HostilePicturesAreRefusedOrBounded) {
    const MemoryCase cases[] = {
        {"animated WebP, huge canvas", [] { return animatedWebp(16384, 16384); }, {}, 0, 0, 0, kMiB},
        {"GIF, huge screen",
         [] { return gifFile(indexedPicture(1, 1, 2), false, -1, 0, 0, 16384, 16384); }, {}, 1, 1, 0,
         kMiB},
        {"progressive CMYK JPEG, huge", hugeProgressiveCmyk, {}, 0, 0, 0, kMiB},
        {"CMYK JPEG",
         [] { return cmykJpegFile(1024, 1024, std::vector<std::uint8_t>(1024 * 1024 * 4, 60), true); },
         {}, 1024, 1024, 1.4, 3 * kMiB},
        {"progressive CMYK JPEG at a quarter",
         [] {
             return cmykJpegFile(1024, 1024, std::vector<std::uint8_t>(1024 * 1024 * 4, 60), true,
                                 false, true);
         },
         {256, 256}, 256, 256, 3.0, 3 * kMiB},  // its coefficients: 8 MiB
        {"interlaced PNG with alpha",
         [] { return pngFile(testPicture(1024, 1024, true), PngLayout::rgba, true); }, {}, 1024, 1024,
         1.1, 3 * kMiB},
        // libwebp's own alpha plane and rows come on top: about twice.
        {"still WebP with alpha", translucentWebp, {}, 1024, 1024, 2.3, 3 * kMiB},
        {"quarter turn, needed small", [] { return turnedPng(1024, 768); }, {200, 200}, 192, 256,
         1.2, 3 * kMiB * 3 / 4},
    };
    for (const MemoryCase& c : cases) {
        const std::string file = c.file();
        int width = 0, height = 0;
        const std::int64_t peak = peakOf([&] {
            auto image = decodeImageMemory(reinterpret_cast<const unsigned char*>(file.data()),
                                           file.size(), c.need);
            if (image) width = image->width, height = image->height;
        });
        EXPECT_EQ(width, c.width) << c.name;
        EXPECT_EQ(height, c.height) << c.name;
        const double most = c.mostOfDecode > 0 ? c.mostOfDecode * c.decodeBytes : c.decodeBytes;
        EXPECT_LE(static_cast<double>(peak), most) << c.name << ": " << peak << " bytes at the peak";
    }
}

// The measure itself: a quarter turn at full size holds two buffers.
TEST(DecodeMemory, AFullSizeQuarterTurnHoldsTwoPictures) {
#ifndef GLIMMORA_HEAP_HOOKS
    GTEST_SKIP() << "needs the sanitizer's allocation hooks";
#else
    const std::string file = turnedPng(1024, 768);
    const std::int64_t peak = peakOf([&] {
        auto image = decodeImageMemory(reinterpret_cast<const unsigned char*>(file.data()), file.size());
        ASSERT_TRUE(image);
        EXPECT_EQ(image->width, 768);
    });
    EXPECT_GE(peak, 2 * 1024 * 768 * 3);
#endif
}

}  // namespace
