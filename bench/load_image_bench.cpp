// Decoding cost of large camera-sized pictures through loadImageFile, beside
// TurboJPEG's own full decode of the same JPEG: the file path may add file
// reading and bookkeeping but no second pass over the pixels.
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

struct Fixtures {
    std::string jpegPath;
    std::string pngPath;
    std::vector<unsigned char> jpeg;

    Fixtures() {
        const auto dir = std::filesystem::temp_directory_path();
        jpegPath = (dir / "glimmora_bench_24mp.jpg").string();
        pngPath = (dir / "glimmora_bench_24mp.png").string();
        const std::vector<unsigned char> rgb = photographLike();

        tjhandle compressor = tjInitCompress();
        unsigned char* out = nullptr;
        unsigned long size = 0;
        tjCompress2(compressor, rgb.data(), kWidth, 0, kHeight, TJPF_RGB, &out, &size, TJSAMP_420, 90, 0);
        jpeg.assign(out, out + size);
        tjFree(out);
        tjDestroy(compressor);
        writeBytes(jpegPath, jpeg.data(), jpeg.size());

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

void BM_LoadImageFileJpeg(benchmark::State& state) {
    const Fixtures& f = fixtures();
    for (auto _ : state) {
        auto image = loadImageFile(f.jpegPath.c_str());
        if (!image) state.SkipWithError("load failed");
        benchmark::DoNotOptimize(image.get());
    }
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
BENCHMARK(BM_LoadImageFilePng)->Unit(benchmark::kMillisecond);
