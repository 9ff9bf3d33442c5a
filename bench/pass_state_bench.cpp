// What remembering the pass costs with a large library: the state's size
// on disk for 100,000 shown pictures (target: at most 2 MB) and reading it
// at the start (target: at most 50 ms), and one save of it.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "images/pass_memory.h"

namespace {

constexpr int kPictures = 100000;
const std::vector<std::string> kFolders = {"/home/user/Pictures"};

std::string picturePath(int i) {
    char path[96];
    std::snprintf(path, sizeof path, "/home/user/Pictures/%d/%02d/IMG_%06d.JPG", 2000 + i % 25,
                  1 + i % 12, i);
    return path;
}

// A state file holding a whole pass of kPictures shown pictures.
class StateFile {
public:
    StateFile() {
        path_ = (std::filesystem::temp_directory_path() / "glimmora-pass-state-bench").string();
        std::filesystem::remove(path_);
        PassMemory memory(path_, kFolders);
        for (int i = 0; i < kPictures; ++i) memory.markShown(picturePath(i));
    }
    ~StateFile() { std::filesystem::remove(path_); }
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

const StateFile& stateFile() {
    static const StateFile file;
    return file;
}

void BM_ReadStateAtStart(benchmark::State& state) {
    const std::string& path = stateFile().path();
    for (auto _ : state) {
        PassMemory memory(path, kFolders);
        if (memory.shownCount() != kPictures) state.SkipWithError("the state was not read whole");
        benchmark::DoNotOptimize(memory.shownInPass(picturePath(7)));
    }
    state.counters["state_bytes"] =
        static_cast<double>(std::filesystem::file_size(path));
    state.counters["pictures"] = kPictures;
}
BENCHMARK(BM_ReadStateAtStart)->Unit(benchmark::kMillisecond);

void BM_SaveAfterOnePicture(benchmark::State& state) {
    const std::string& path = stateFile().path();
    PassMemory memory(path, kFolders);
    int next = kPictures;
    for (auto _ : state) {
        memory.markShown(picturePath(next++));
        memory.save();
    }
}
BENCHMARK(BM_SaveAfterOnePicture)->Unit(benchmark::kMillisecond);

}  // namespace
