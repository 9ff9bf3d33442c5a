// The loader's processor time for one camera photograph shown on a
// 1920x1080 monitor: as it was (the whole picture decoded, a texture at the
// texture limit) and sized to the monitor (decoded at the smallest JPEG
// scale that covers what the slide can show, a texture no larger than the
// power of two covering it). A 24 MP (6000x4000) and a 48 MP (8000x6000)
// JPEG. Target: at least 3x less processor time per picture sized.
// Beside them, TurboJPEG's decode at each of its scales, which the choice
// of scale rests on, and which bounds what sizing can save.
//
// The same source builds against a tree from before sizing, where only the
// whole-picture case exists: bench/loader_cpu_before_after.sh runs both, to
// weigh the sized loader against the one it replaced in one run.
#include "images/load_image_file.h"
#include "platform/gl.h"
#include "platform/gl_context.h"
#include "settings/settings.h"
#include "slides/slide_texture.h"
#include "slides/texture_pool.h"

#include "bare_preparation.h"

#if __has_include("slides/slide_reach.h")
#include "slides/slide_reach.h"
#define GLIMMORA_SIZED_LOADER 1
#endif

#include <benchmark/benchmark.h>
#include <turbojpeg.h>

#include <ctime>
#include <filesystem>
#include <map>
#include <memory>
#include <string>

namespace {

constexpr int kMonitorWidth = 1920;
constexpr int kMonitorHeight = 1080;

struct Photo {
    std::filesystem::path path;
    int width, height;
};

const Photo& photo(int megapixels) {
    static std::map<int, Photo> photos;
    auto found = photos.find(megapixels);
    if (found != photos.end()) return found->second;
    const int width = megapixels == 48 ? 8000 : 6000;
    const int height = megapixels == 48 ? 6000 : 4000;
    Photo p{std::filesystem::temp_directory_path() /
                ("glimmora_monitor_sized_" + std::to_string(megapixels) + ".jpg"),
            width, height};
    writePhotograph(p.path, width, height, static_cast<unsigned>(megapixels));
    return photos.emplace(megapixels, p).first->second;
}

struct Cleanup {
    ~Cleanup() {
        for (int mp : {24, 48})
            std::filesystem::remove(std::filesystem::temp_directory_path() /
                                    ("glimmora_monitor_sized_" + std::to_string(mp) + ".jpg"));
    }
} cleanup;

double processSeconds() { return static_cast<double>(std::clock()) / CLOCKS_PER_SEC; }

// A context current on the benchmark thread, and a pool per extent.
struct GL {
    GLOffscreenTarget target{16, 16};
    std::unique_ptr<GLContext> context;
    std::map<std::pair<int, int>, std::unique_ptr<TexturePool>> pools;
    int limit = 0;

    GL() {
        context = GLContext::create(target.target());
        if (!context || !context->makeCurrent()) return;
        theSettings.queryMaxTextureSize();
        limit = theSettings.textureLimit();
    }
    TexturePool& pool(int width, int height) {
        auto& p = pools[{width, height}];
        if (!p) p = std::make_unique<TexturePool>(width, height);
        return *p;
    }
};

GL& gl() {
    static GL instance;
    return instance;
}

struct Spent {
    double decode = 0, texture = 0;
};

// Processor seconds of one picture through the loader's steps.
Spent prepareOnce(const Photo& p, bool sized, benchmark::State& state) {
    std::unique_ptr<RGBImage> image;
    SlideTexture texture;
    bool prepared = false;
    double start = 0, decoded = 0;
    if (!sized) {
        // As the loader did before sizing, in calls every tree has.
        TexturePool& pool = gl().pool(gl().limit, gl().limit);
        start = processSeconds();
        image = loadImageFile(p.path.string().c_str());
        decoded = processSeconds();
        prepared = image && texture.prepare(std::move(image), pool);
    } else {
#if GLIMMORA_SIZED_LOADER
        const DisplayReach reach =
            displayReach(kMonitorWidth, kMonitorHeight, gl().limit, theSettings);
        TexturePool& pool = gl().pool(reach.extent.width, reach.extent.height);
        start = processSeconds();
        image = loadImageFile(p.path.string().c_str(), reach.need);
        decoded = processSeconds();
        prepared = image && texture.prepare(std::move(image), pool, reach.box);
#endif
    }
    if (!prepared) {
        state.SkipWithError("the photograph did not decode");
        return {};
    }
    texture.uploadPrepared();
    glFinish();
    return {decoded - start, processSeconds() - decoded};
}

// range(0): megapixels; range(1): 1 sized to the monitor, 0 as it was.
void BM_LoaderPerPicture(benchmark::State& state) {
    theSettings.setDefaults();
    if (gl().limit < 1) {
        state.SkipWithError("no OpenGL context");
        return;
    }
    const Photo& p = photo(static_cast<int>(state.range(0)));
    const bool sized = state.range(1) != 0;
#if !GLIMMORA_SIZED_LOADER
    if (sized) {
        state.SkipWithError("this tree has no sized loader");
        return;
    }
#endif
    prepareOnce(p, sized, state);  // the pool's texture storage, made once
    Spent spent;
    for (auto _ : state) {
        const Spent one = prepareOnce(p, sized, state);
        spent.decode += one.decode;
        spent.texture += one.texture;
    }
    const double n = static_cast<double>(state.iterations());
    state.counters["cpu_ms_per_picture"] = 1e3 * (spent.decode + spent.texture) / n;
    state.counters["decode_ms"] = 1e3 * spent.decode / n;
    state.counters["texture_ms"] = 1e3 * spent.texture / n;
    state.SetLabel(sized ? "sized to 1920x1080" : "whole picture, texture at the limit");
}

// TurboJPEG alone at num/8 of a photograph: range(0) megapixels, range(1)
// the eighths. Even 1/8 reads every coefficient of the file.
void BM_TurboJpegScale(benchmark::State& state) {
    const Photo& p = photo(static_cast<int>(state.range(0)));
    std::ifstream in(p.path, std::ios::binary);
    const std::vector<unsigned char> jpeg((std::istreambuf_iterator<char>(in)), {});
    const tjscalingfactor f{static_cast<int>(state.range(1)), 8};
    const int w = TJSCALED(p.width, f), h = TJSCALED(p.height, f);
    std::vector<unsigned char> out(static_cast<std::size_t>(w) * h * 3);
    tjhandle handle = tjInitDecompress();
    for (auto _ : state)
        tjDecompress2(handle, jpeg.data(), jpeg.size(), out.data(), w, 0, h, TJPF_RGB, 0);
    tjDestroy(handle);
}

}  // namespace

BENCHMARK(BM_LoaderPerPicture)
    ->ArgsProduct({{24, 48}, {0, 1}})
    ->Unit(benchmark::kMillisecond)
    ->MinTime(2.0);
BENCHMARK(BM_TurboJpegScale)
    ->ArgsProduct({{24, 48}, {1, 2, 4, 8}})
    ->Unit(benchmark::kMillisecond);
