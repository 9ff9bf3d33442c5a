// The frame loop on a slideshow of 24-megapixel JPEGs with short slides, on
// the offscreen target: what each frame spends on slides outside drawing and
// swapping (taking, handing over, destroying), how many frames had to wait
// for the loader, and the time to the first picture against one bare slide
// preparation of the same file. Targets: p99 below 0.5 ms, max below 2 ms,
// no frame after the first waiting, first picture within 1.2x.
//
// Usage: frame_loop_bench [hand-overs (default 100)] [texDim index (default 0)]
#include "display/display.h"
#include "display/random.h"
#include "images/load_image_file.h"
#include "images/random_image_provider.h"
#include "platform/clock.h"
#include "platform/gl.h"
#include "platform/gl_context.h"
#include "platform/plain_window.h"
#include "settings/settings.h"
#include "slides/slide.h"
#include "slides/slide_texture.h"
#include "slides/texture_pool.h"

#include "bare_preparation.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kWidth = 6000;
constexpr int kHeight = 4000;
constexpr int kPhotos = 4;

double milliseconds(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

double percentile(std::vector<double> values, double p) {
    if (values.empty()) return 0.0;
    std::sort(values.begin(), values.end());
    const auto index = static_cast<std::size_t>(std::ceil(p * values.size())) - 1;
    return values[std::min(index, values.size() - 1)];
}

}  // namespace

int main(int argc, char** argv) {
    const int handOvers = argc > 1 ? std::max(1, std::atoi(argv[1])) : 100;
    theSettings.setDefaults();
    theSettings.texDim = argc > 2 ? std::atoi(argv[2]) : 0;
    theSettings.secondsPerImage.store(1.0f);
    theSettings.secondsPerImageSigma = 0.05f;
    theSettings.fadeMean = 0.3f;
    theSettings.fadeSigma = 0.02f;
    seedRandom(millisecondClock());

    const auto folder = std::filesystem::temp_directory_path() / "glimmora_frame_loop_bench";
    std::filesystem::create_directories(folder);
    std::printf("writing %d photographs of %dx%d...\n", kPhotos, kWidth, kHeight);
    for (int i = 0; i < kPhotos; ++i)
        writePhotograph(folder / ("photo" + std::to_string(i) + ".jpg"), kWidth, kHeight, 1234u + i);

    const int edge = displayTextureLimit();
    if (edge == 0) {
        std::fprintf(stderr, "no OpenGL context\n");
        return 1;
    }
    std::vector<double> bare;
    for (int i = 0; i < 3; ++i)
        bare.push_back(milliseconds(barePreparation(folder / "photo0.jpg", edge)));
    std::sort(bare.begin(), bare.end());
    const double bareMs = bare[1];

    PlainWindow window(1280, 720, 60);
    // Only the one file, so the first picture is the one prepared bare.
    const auto firstFolder = folder / "first";
    std::filesystem::create_directories(firstFolder);
    std::filesystem::copy_file(folder / "photo0.jpg", firstFolder / "photo0.jpg",
                               std::filesystem::copy_options::overwrite_existing);
    double firstMs = 0.0;
    {
        RandomImageProvider provider({firstFolder.string()});
        const auto start = Clock::now();
        Display display(window.handle(), &provider);
        // Black frames until the picture is there.
        while (!display.current()) display.renderFrame();
        firstMs = milliseconds(Clock::now() - start);
    }

    RandomImageProvider provider({folder.string()});
    Display display(window.handle(), &provider);
    while (!display.current()) display.renderFrame();
    std::vector<double> slideWorkMs;
    int waited = 0, held = 0, frames = 0, seen = 0;
    const Slide* shown = display.current();
    const auto start = Clock::now();
    while (seen < handOvers) {
        display.renderFrame();
        ++frames;
        const FrameCost& cost = display.lastFrameCost();
        slideWorkMs.push_back(std::chrono::duration<double, std::milli>(cost.slideWork).count());
        waited += cost.withoutSlide ? 1 : 0;
        held += cost.heldForSuccessor ? 1 : 0;
        if (display.current() != shown) {
            shown = display.current();
            ++seen;
        }
    }
    const double seconds = milliseconds(Clock::now() - start) / 1000.0;
    std::filesystem::remove_all(folder);

    std::printf("texture edge %d, %d hand-overs, %d frames in %.1f s (%.1f frames/s, paced %s)\n",
                edge, seen, frames, seconds, frames / seconds,
                display.pacedByWait() ? "by the loop's wait" : "by the swap");
    std::printf("slide work per frame: p50 %.4f ms, p99 %.4f ms, max %.4f ms\n",
                percentile(slideWorkMs, 0.5), percentile(slideWorkMs, 0.99),
                percentile(slideWorkMs, 1.0));
    std::printf("frames after the first that waited for the loader: %d black, %d held\n",
                waited, held);
    std::printf("first picture %.1f ms, bare preparation %.1f ms (median of 3): %.2fx\n", firstMs,
                bareMs, firstMs / bareMs);
    return 0;
}
