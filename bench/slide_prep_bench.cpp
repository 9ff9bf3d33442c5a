// The loader's whole preparation of one 24-megapixel photograph (decode,
// resize to the texture size, mipmap chain, upload in 256x256 blocks) at the
// texture limits 2048 and 4096, stage by stage, beside a bare TurboJPEG
// decode of the same file. Targets: 2x the bare decode at 2048, 3x at 4096.
#include "images/load_image_file.h"
#include "platform/gl.h"
#include "platform/gl_context.h"
#include "slides/nearest_power_of_two.h"
#include "slides/resample_image.h"
#include "slides/slide_texture.h"
#include "slides/texture_pool.h"

#include "photograph.h"

#include <benchmark/benchmark.h>
#include <turbojpeg.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <ctime>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <vector>

namespace {

constexpr int kWidth = 6000;
constexpr int kHeight = 4000;

std::vector<unsigned char> photograph() {
    return photographPixels(kWidth, kHeight, 0.0021f, 0.0017f, 1234);
}

struct Photo {
    std::filesystem::path path;
    std::vector<unsigned char> jpeg;
    bool decodedByLoadImageFile = false;

    Photo() {
        const std::vector<unsigned char> pixels = photograph();
        tjhandle compressor = tjInitCompress();
        unsigned char* data = nullptr;
        unsigned long size = 0;
        tjCompress2(compressor, pixels.data(), kWidth, 0, kHeight, TJPF_RGB, &data, &size,
                    TJSAMP_420, 90, 0);
        jpeg.assign(data, data + size);
        tjFree(data);
        tjDestroy(compressor);
        path = std::filesystem::temp_directory_path() / "glimmora_slide_prep_bench.jpg";
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(jpeg.data()), static_cast<std::streamsize>(size));
        decodedByLoadImageFile = loadImageFile(path.string().c_str()) != nullptr;
    }
    ~Photo() { std::filesystem::remove(path); }
};

const Photo& photo() {
    static Photo instance;
    return instance;
}

std::unique_ptr<RGBImage> decodeWithTurboJpeg(const std::vector<unsigned char>& jpeg) {
    tjhandle decompressor = tjInitDecompress();
    int w = 0, h = 0, subsampling = 0, colourspace = 0;
    tjDecompressHeader3(decompressor, jpeg.data(), jpeg.size(), &w, &h, &subsampling,
                        &colourspace);
    auto image = makeRGBImage(w, h);
    tjDecompress2(decompressor, jpeg.data(), jpeg.size(), image->pixels, w, 0, h, TJPF_RGB,
                  TJFLAG_BOTTOMUP);
    tjDestroy(decompressor);
    return image;
}

// The product's decoder; TurboJPEG straight if it cannot read the file.
std::unique_ptr<RGBImage> decode() {
    if (photo().decodedByLoadImageFile) return loadImageFile(photo().path.string().c_str());
    return decodeWithTurboJpeg(photo().jpeg);
}

// A context current on the benchmark thread, with one pool per limit.
struct GL {
    GLOffscreenTarget target{16, 16};
    std::unique_ptr<GLContext> context;
    std::map<int, std::unique_ptr<TexturePool>> pools;

    GL() {
        context = GLContext::create(target.target());
        if (context) context->makeCurrent();
    }
    TexturePool& pool(int limit) {
        auto& p = pools[limit];
        if (!p) p = std::make_unique<TexturePool>(limit, limit);
        return *p;
    }
};

GL& gl() {
    static GL instance;
    return instance;
}

int textureSide(int side, int limit) { return std::min(nearestPowerOfTwo(side), limit); }

std::unique_ptr<RGBImage> resizedCopy(const RGBImage& image, int w, int h) {
    auto result = makeRGBImage(w, h);
    resampleImage(image.width, image.height, image.pixels, w, h, result->pixels);
    return result;
}

void decodedBy(benchmark::State& state) {
    state.SetLabel(photo().decodedByLoadImageFile ? "loadImageFile" : "TurboJPEG (fallback)");
}

void BM_BareTurboJpegDecode(benchmark::State& state) {
    const std::vector<unsigned char>& jpeg = photo().jpeg;
    for (auto _ : state) benchmark::DoNotOptimize(decodeWithTurboJpeg(jpeg));
}

void BM_Decode(benchmark::State& state) {
    decodedBy(state);
    for (auto _ : state) benchmark::DoNotOptimize(decode());
}

void BM_Resize(benchmark::State& state) {
    const int limit = static_cast<int>(state.range(0));
    const auto image = decode();
    const int w = textureSide(image->width, limit), h = textureSide(image->height, limit);
    for (auto _ : state) benchmark::DoNotOptimize(resizedCopy(*image, w, h));
}

void BM_MipmapChain(benchmark::State& state) {
    const int limit = static_cast<int>(state.range(0));
    const auto top = makeRGBImage(limit, limit);
    std::fill_n(top->pixels, static_cast<std::size_t>(limit) * limit * 3, 77);
    for (auto _ : state) {
        auto level = resizedCopy(*top, limit / 2, limit / 2);
        while (level->width > 1) level = resizedCopy(*level, level->width / 2, level->height / 2);
        benchmark::DoNotOptimize(level);
    }
}

// Only the texel conversion and the glTexSubImage2D calls of every level.
void BM_UploadLevels(benchmark::State& state) {
    const int limit = static_cast<int>(state.range(0));
    TexturePool& pool = gl().pool(limit);
    std::vector<std::unique_ptr<RGBImage>> chain;
    chain.push_back(makeRGBImage(limit, limit));
    std::fill_n(chain.back()->pixels, static_cast<std::size_t>(limit) * limit * 3, 77);
    while (chain.back()->width > 1) {
        const RGBImage& above = *chain.back();
        chain.push_back(resizedCopy(above, above.width / 2, above.height / 2));
    }
    SlideTexture texture;
    texture.upload(makeRGBImage(1, 1), pool);  // takes a name and binds it
    std::vector<unsigned char> staging(SlideTexture::kStagingBytes);
    for (auto _ : state) {
        for (std::size_t level = 0; level < chain.size(); ++level)
            texture.uploadLevel(*chain[level], static_cast<int>(level),
                                SlideTexture::Staging(staging));
        glFinish();
    }
}

// Processor seconds of the whole process: steadier than the wall clock on
// a machine shared with builds.
double processSeconds() { return static_cast<double>(std::clock()) / CLOCKS_PER_SEC; }

// The bare decode's processor time, the best of a few runs.
double bareDecodeSeconds() {
    static const double seconds = [] {
        double best = 1e9;
        for (int run = 0; run < 3; ++run) {
            const double start = processSeconds();
            benchmark::DoNotOptimize(decodeWithTurboJpeg(photo().jpeg));
            best = std::min(best, processSeconds() - start);
        }
        return best;
    }();
    return seconds;
}

// Everything the loader does for one picture, as it does it. Counters in
// processor time: the decode, the texture work (resize, mipmaps, upload)
// and the whole over a bare TurboJPEG decode.
void BM_WholePreparation(benchmark::State& state) {
    const int limit = static_cast<int>(state.range(0));
    TexturePool& pool = gl().pool(limit);
    decodedBy(state);
    const double bare = bareDecodeSeconds();
    double decodeSeconds = 0, textureSeconds = 0;
    for (auto _ : state) {
        const double start = processSeconds();
        auto image = decode();
        const double decoded = processSeconds();
        SlideTexture texture;
        texture.upload(std::move(image), pool);
        glFinish();
        const double done = processSeconds();
        decodeSeconds += decoded - start;
        textureSeconds += done - decoded;
    }
    const double n = static_cast<double>(state.iterations());
    state.counters["bare_decode_ms"] = 1e3 * bare;
    state.counters["decode_ms"] = 1e3 * decodeSeconds / n;
    state.counters["texture_ms"] = 1e3 * textureSeconds / n;
    state.counters["over_bare_decode"] = (decodeSeconds + textureSeconds) / n / bare;
}

}  // namespace

BENCHMARK(BM_BareTurboJpegDecode)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Decode)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Resize)->Arg(2048)->Arg(4096)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_MipmapChain)->Arg(2048)->Arg(4096)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_UploadLevels)->Arg(2048)->Arg(4096)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_WholePreparation)->Arg(2048)->Arg(4096)->Unit(benchmark::kMillisecond)->UseRealTime();
