// The directory walk behind the slideshow on a tree of 100,000 empty files:
// how long the first chunk takes (the wait before the first picture), how
// long a walk of the whole tree takes, and what one nextImage costs when
// decoding is free. The counters show that construction lists one chunk
// only and that no decode ever runs with the provider's lock held.
#include <benchmark/benchmark.h>

#include <chrono>
#include <climits>
#include <filesystem>
#include <fstream>
#include <string>

#include "images/random_image_provider.h"
#include "settings/settings.h"

namespace fs = std::filesystem;

namespace {

constexpr int kTopDirs = 10;
constexpr int kSubDirs = 10;
constexpr int kFilesPerDir = 1000;
constexpr int kTotalFiles = kTopDirs * kSubDirs * kFilesPerDir;

// Built on first use, removed when the program ends.
class BenchTree {
public:
    BenchTree() {
        const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
        root_ = fs::temp_directory_path() / ("glimmora-provider-bench-" + std::to_string(stamp));
        for (int t = 0; t < kTopDirs; ++t) {
            for (int s = 0; s < kSubDirs; ++s) {
                const fs::path dir = root_ / ("top" + std::to_string(t)) / ("sub" + std::to_string(s));
                fs::create_directories(dir);
                for (int f = 0; f < kFilesPerDir; ++f) {
                    std::ofstream(dir / ("picture" + std::to_string(f) + ".jpg"));
                }
            }
        }
    }
    ~BenchTree() {
        std::error_code ignored;
        fs::remove_all(root_, ignored);
    }
    BenchTree(const BenchTree&) = delete;
    BenchTree& operator=(const BenchTree&) = delete;

    std::string root() const { return root_.string(); }

private:
    fs::path root_;
};

const BenchTree& tree() {
    static const BenchTree instance;
    return instance;
}

class ProbedProvider : public RandomImageProvider {
public:
    using RandomImageProvider::RandomImageProvider;
    using RandomImageProvider::snapshot;
};

// Counts decodes and those that found the provider's lock taken; every
// path "decodes" to a 1x1 picture.
struct CheckingDecoder {
    ProbedProvider* provider = nullptr;
    std::int64_t decodes = 0;
    std::int64_t decodesUnderLock = 0;

    RandomImageProvider::Decoder function() {
        return [this](const std::string&) {
            ++decodes;
            if (provider->tryLock()) {
                provider->unlock();
            } else {
                ++decodesUnderLock;
            }
            return makeRGBImage(1, 1);
        };
    }
};

void BM_ConstructFirstChunk(benchmark::State& state) {
    const std::string root = tree().root();
    theSettings.scandirChunkSize = 666;
    std::size_t listed = 0;
    bool walkFinished = false;
    for (auto _ : state) {
        ProbedProvider provider({root});
        state.PauseTiming();
        const auto snapshot = provider.snapshot();
        listed = snapshot.files.size();
        walkFinished = snapshot.pendingDirs.empty() && !snapshot.listingOpen;
        state.ResumeTiming();
    }
    state.counters["filesListed"] = static_cast<double>(listed);
    state.counters["walkFinished"] = walkFinished ? 1 : 0;
}
BENCHMARK(BM_ConstructFirstChunk)->Unit(benchmark::kMicrosecond);

// The whole tree in one chunk: listing plus one shuffle of 100,000 paths.
void BM_WalkWholeTree(benchmark::State& state) {
    const std::string root = tree().root();
    theSettings.scandirChunkSize = INT_MAX;
    std::size_t listed = 0;
    for (auto _ : state) {
        ProbedProvider provider({root});
        state.PauseTiming();
        listed = provider.snapshot().files.size();
        state.ResumeTiming();
    }
    theSettings.scandirChunkSize = 666;
    state.counters["filesListed"] = static_cast<double>(listed);
    state.counters["expected"] = kTotalFiles;
}
BENCHMARK(BM_WalkWholeTree)->Unit(benchmark::kMillisecond);

// One picture at a time with decoding for free, ending passes, listing
// further chunks and reshuffling the growing list along the way.
void BM_NextImage(benchmark::State& state) {
    theSettings.scandirChunkSize = 666;
    CheckingDecoder decoder;
    ProbedProvider provider({tree().root()}, decoder.function());
    decoder.provider = &provider;
    for (auto _ : state) {
        benchmark::DoNotOptimize(provider.nextImage());
    }
    state.counters["decodes"] = static_cast<double>(decoder.decodes);
    state.counters["decodesUnderLock"] = static_cast<double>(decoder.decodesUnderLock);
    state.counters["filesListed"] = static_cast<double>(provider.snapshot().files.size());
}
BENCHMARK(BM_NextImage);

}  // namespace
