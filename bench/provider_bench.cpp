// The directory walk behind the slideshow on a tree of 100,000 empty files
// in 400 folders: how long the first chunk takes and how long until the
// first picture is served (the wait before the show starts), how long a
// walk of the whole tree takes, what one nextImage costs when decoding is
// free, how many pictures are served until the tree is fully listed, and
// how many of the 400 folders the pictures of a stretch of the show come
// from. The counters show that construction lists one chunk only and that
// no decode ever runs with the provider's lock held.
#include <benchmark/benchmark.h>

#include <chrono>
#include <climits>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "images/random_image_provider.h"
#include "settings/settings.h"

namespace fs = std::filesystem;

namespace {

constexpr int kTopDirs = 20;
constexpr int kSubDirs = 20;
constexpr int kFilesPerDir = 250;
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
    using RandomImageProvider::listingComplete;
};

// Counts decodes and those that found the provider's lock taken; every
// path "decodes" to a 1x1 picture.
struct CheckingDecoder {
    ProbedProvider* provider = nullptr;
    std::int64_t decodes = 0;
    std::int64_t decodesUnderLock = 0;

    RandomImageProvider::PlainDecoder function() {
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

// The folder of a served path: everything before its last separator.
std::string folderOf(const std::string& path) {
    return path.substr(0, path.find_last_of("/\\"));
}

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

// Construction and the first picture: what the show waits for at start.
void BM_FirstPicture(benchmark::State& state) {
    const std::string root = tree().root();
    theSettings.scandirChunkSize = 666;
    auto decode = [](const std::string&) { return makeRGBImage(1, 1); };
    for (auto _ : state) {
        ProbedProvider provider({root}, decode);
        benchmark::DoNotOptimize(provider.nextImage());
    }
}
BENCHMARK(BM_FirstPicture)->Unit(benchmark::kMicrosecond);

// Pictures served, decoding for free, until every folder has been listed.
void BM_PicturesUntilFullyListed(benchmark::State& state) {
    const std::string root = tree().root();
    theSettings.scandirChunkSize = 666;
    auto decode = [](const std::string&) { return makeRGBImage(1, 1); };
    std::int64_t served = 0;
    for (auto _ : state) {
        ProbedProvider provider({root}, decode);
        served = 0;
        while (!provider.listingComplete()) {
            benchmark::DoNotOptimize(provider.nextImage());
            ++served;
        }
    }
    state.counters["picturesServed"] = static_cast<double>(served);
    state.counters["filesListed"] = kTotalFiles;
}
BENCHMARK(BM_PicturesUntilFullyListed)->Unit(benchmark::kMillisecond)->Iterations(1);

// How many of the 400 folders 200 consecutive pictures (about an hour of
// the show) come from, starting at the first picture, the 1,000th and the
// 10,000th. Even draws from 400 equal folders would give about 157.
void BM_FoldersInAStretch(benchmark::State& state) {
    const std::string root = tree().root();
    theSettings.scandirChunkSize = 666;
    constexpr int kStretch = 200;
    const int starts[] = {0, 1000, 10000};
    std::vector<std::set<std::string>> folders(std::size(starts));
    for (auto _ : state) {
        std::string last;
        auto decode = [&last](const std::string& path) {
            last = path;
            return makeRGBImage(1, 1);
        };
        ProbedProvider provider({root}, decode);
        for (auto& set : folders) set.clear();
        for (int picture = 0; picture < starts[std::size(starts) - 1] + kStretch; ++picture) {
            benchmark::DoNotOptimize(provider.nextImage());
            for (std::size_t s = 0; s < std::size(starts); ++s)
                if (picture >= starts[s] && picture < starts[s] + kStretch)
                    folders[s].insert(folderOf(last));
        }
    }
    state.counters["foldersFrom1st"] = static_cast<double>(folders[0].size());
    state.counters["foldersFrom1000th"] = static_cast<double>(folders[1].size());
    state.counters["foldersFrom10000th"] = static_cast<double>(folders[2].size());
}
BENCHMARK(BM_FoldersInAStretch)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace
