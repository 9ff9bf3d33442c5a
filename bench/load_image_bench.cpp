// Decoding cost of large camera-sized pictures through loadImageFile, beside
// TurboJPEG's own full decode of the same JPEG: the file path may add file
// reading and bookkeeping but no second pass over the pixels. In a running
// slideshow pictures come one after another, so the steady state (pixel
// buffers recycled) is what counts; the case with fresh buffers shows what
// the recycling saves. Refusing a large file that is no picture must cost
// only the head of it.
#include <benchmark/benchmark.h>
#include <png.h>
#include <turbojpeg.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include "images/load_image_file.h"
#include "images/pixel_buffer_pool.h"

namespace {

constexpr int kWidth = 6000;
constexpr int kHeight = 4000;

// Smooth shading, edges and fine grain, so that neither codec meets the
// easy case of flat colour.
std::vector<unsigned char> photographLike() {
    std::vector<unsigned char> rgb(std::size_t(kWidth) * kHeight * 3);
    std::uint32_t noise = 2463534242u;
    unsigned char* p = rgb.data();
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x) {
            noise ^= noise << 13;
            noise ^= noise >> 17;
            noise ^= noise << 5;
            const double shade = 0.5 + 0.25 * std::sin(x * 0.0021) + 0.2 * std::cos(y * 0.0033 + x * 0.0007);
            const bool edge = ((x / 97) + (y / 131)) % 5 == 0;
            const int grain = int(noise & 15) - 8;
            for (int c = 0; c < 3; ++c) {
                double v = 255.0 * shade * (0.8 + 0.1 * c) + grain + (edge ? 40 * (c - 1) : 0);
                *p++ = static_cast<unsigned char>(v < 0 ? 0 : v > 255 ? 255 : v);
            }
        }
    return rgb;
}

void writeBytes(const std::string& path, const void* data, std::size_t size) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) throw std::runtime_error("cannot write " + path);
    std::fwrite(data, 1, size, file);
    std::fclose(file);
}

// A camera's EXIF block saying the picture is to be turned a quarter
// clockwise, as phones write portrait photos.
std::string turnedExif() {
    const unsigned char block[] = {'E', 'x', 'i', 'f', 0, 0, 'M', 'M', 0, 42, 0, 0, 0, 8, 0, 1,
                                   0x01, 0x12, 0, 3, 0, 0, 0, 1, 0, 6, 0, 0, 0, 0, 0, 0};
    std::string segment = "\xFF\xE1";
    segment += char(0);
    segment += char(sizeof block + 2);
    return segment + std::string(reinterpret_cast<const char*>(block), sizeof block);
}

constexpr std::uint64_t kNonPictureBytes = std::uint64_t{200} << 20;

struct Fixtures {
    std::string jpegPath;
    std::string turnedJpegPath;
    std::string pngPath;
    std::string videoPath;
    std::vector<unsigned char> jpeg;

    Fixtures() {
        const auto dir = std::filesystem::temp_directory_path();
        jpegPath = (dir / "glimmora_bench_24mp.jpg").string();
        pngPath = (dir / "glimmora_bench_24mp.png").string();
        turnedJpegPath = (dir / "glimmora_bench_24mp_turned.jpg").string();
        videoPath = (dir / "glimmora_bench_200mb.mp4").string();
        const std::vector<unsigned char> rgb = photographLike();

        tjhandle compressor = tjInitCompress();
        unsigned char* out = nullptr;
        unsigned long size = 0;
        tjCompress2(compressor, rgb.data(), kWidth, 0, kHeight, TJPF_RGB, &out, &size, TJSAMP_420, 90, 0);
        jpeg.assign(out, out + size);
        tjFree(out);
        tjDestroy(compressor);
        writeBytes(jpegPath, jpeg.data(), jpeg.size());
        const std::string turned = std::string(jpeg.begin(), jpeg.begin() + 2) + turnedExif() +
                                   std::string(jpeg.begin() + 2, jpeg.end());
        writeBytes(turnedJpegPath, turned.data(), turned.size());

        // A video as far as its head goes; the rest is a hole in the file,
        // which reads as zeros (so reading it whole would cost real time).
        const char head[] = "\0\0\0\x20" "ftypisom\0\0\x02\0isomiso2avc1mp41";
        writeBytes(videoPath, head, sizeof head - 1);
        std::filesystem::resize_file(videoPath, kNonPictureBytes);

        png_image image{};
        image.version = PNG_IMAGE_VERSION;
        image.width = kWidth;
        image.height = kHeight;
        image.format = PNG_FORMAT_RGB;
        png_alloc_size_t pngSize = 0;
        png_image_write_to_memory(&image, nullptr, &pngSize, 0, rgb.data(), 0, nullptr);
        std::vector<unsigned char> png(pngSize);
        png_image_write_to_memory(&image, png.data(), &pngSize, 0, rgb.data(), 0, nullptr);
        writeBytes(pngPath, png.data(), pngSize);
    }
    ~Fixtures() {
        std::remove(jpegPath.c_str());
        std::remove(pngPath.c_str());
        std::remove(turnedJpegPath.c_str());
        std::remove(videoPath.c_str());
    }
};

const Fixtures& fixtures() {
    static const Fixtures f;
    return f;
}

void BM_BareTurboJpegDecode(benchmark::State& state) {
    const Fixtures& f = fixtures();
    tjhandle handle = tjInitDecompress();
    std::vector<unsigned char> out(std::size_t(kWidth) * kHeight * 3);
    for (auto _ : state) {
        if (tjDecompress2(handle, f.jpeg.data(), f.jpeg.size(), out.data(), kWidth, 0, kHeight, TJPF_RGB, 0) != 0)
            state.SkipWithError("decode failed");
        benchmark::DoNotOptimize(out.data());
    }
    tjDestroy(handle);
}

// The same with a fresh output buffer every time, as any decode that hands
// its picture on must have: the fair yardstick for loadImageFile.
void BM_BareTurboJpegDecodeFreshBuffer(benchmark::State& state) {
    const Fixtures& f = fixtures();
    tjhandle handle = tjInitDecompress();
    for (auto _ : state) {
        std::unique_ptr<unsigned char, decltype(&std::free)> out(
            static_cast<unsigned char*>(std::malloc(std::size_t(kWidth) * kHeight * 3)), &std::free);
        if (tjDecompress2(handle, f.jpeg.data(), f.jpeg.size(), out.get(), kWidth, 0, kHeight, TJPF_RGB, 0) != 0)
            state.SkipWithError("decode failed");
        benchmark::DoNotOptimize(out.get());
    }
    tjDestroy(handle);
}

// Picture after picture, as the loader works: each picture's buffer is the
// one the picture before it gave back.
void BM_LoadImageFileJpeg(benchmark::State& state) {
    const Fixtures& f = fixtures();
    for (auto _ : state) {
        auto image = loadImageFile(f.jpegPath.c_str());
        if (!image) state.SkipWithError("load failed");
        benchmark::DoNotOptimize(image.get());
    }
    // What stays resident between pictures for this.
    state.counters["keptMiB"] = static_cast<double>(PixelBufferPool::instance().keptBytes() >> 20);
}

// As the very first picture of a run, or without the recycling: every
// picture's buffer comes fresh from the system.
void BM_LoadImageFileJpegFreshBuffers(benchmark::State& state) {
    const Fixtures& f = fixtures();
    for (auto _ : state) {
        state.PauseTiming();
        PixelBufferPool::instance().trim();
        state.ResumeTiming();
        auto image = loadImageFile(f.jpegPath.c_str());
        if (!image) state.SkipWithError("load failed");
        benchmark::DoNotOptimize(image.get());
    }
}

// A phone's portrait photo: the same decode, then a quarter turn.
void BM_LoadImageFileJpegTurned(benchmark::State& state) {
    const Fixtures& f = fixtures();
    for (auto _ : state) {
        auto image = loadImageFile(f.turnedJpegPath.c_str());
        if (!image || image->width != kHeight) state.SkipWithError("load failed");
        benchmark::DoNotOptimize(image.get());
    }
}

// Bytes this process has read from files so far; 0 where the system does
// not say.
std::uint64_t bytesReadSoFar() {
    std::FILE* io = std::fopen("/proc/self/io", "r");
    if (!io) return 0;
    unsigned long long value = 0;
    if (std::fscanf(io, "rchar: %llu", &value) != 1) value = 0;
    std::fclose(io);
    return value;
}

void BM_RefuseLargeNonPicture(benchmark::State& state) {
    const Fixtures& f = fixtures();
    std::uint64_t mostRead = 0;
    for (auto _ : state) {
        const std::uint64_t before = bytesReadSoFar();
        if (loadImageFile(f.videoPath.c_str())) state.SkipWithError("a video was taken for a picture");
        const std::uint64_t read = bytesReadSoFar() - before;
        if (read > mostRead) mostRead = read;
    }
    state.counters["bytesRead"] = static_cast<double>(mostRead);
    if (mostRead > (64u << 10)) state.SkipWithError("read more than 64 KiB of a file no decoder knows");
}

void BM_LoadImageFilePng(benchmark::State& state) {
    const Fixtures& f = fixtures();
    for (auto _ : state) {
        auto image = loadImageFile(f.pngPath.c_str());
        if (!image) state.SkipWithError("load failed");
        benchmark::DoNotOptimize(image.get());
    }
}

}  // namespace

BENCHMARK(BM_BareTurboJpegDecode)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BareTurboJpegDecodeFreshBuffer)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadImageFileJpeg)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadImageFileJpegFreshBuffers)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadImageFileJpegTurned)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RefuseLargeNonPicture)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_LoadImageFilePng)->Unit(benchmark::kMillisecond);
