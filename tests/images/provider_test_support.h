#pragma once
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <cstdlib>
#include <set>
#include <string>
#include <vector>

#include "display/random.h"
#include "images/random_image_provider.h"
#include "images/shuffle_paths.h"
#include "platform/directory_listing.h"
#include "settings/settings.h"
#include "support/temp_dir.h"

// Opens up the provider's state for inspection.
class ProbedProvider : public RandomImageProvider {
public:
    using RandomImageProvider::RandomImageProvider;
    using RandomImageProvider::Snapshot;
    using RandomImageProvider::snapshot;
};

// Stands in for the file decoders: paths whose file name starts with "bad"
// fail, every other path "decodes" to a 1x1 picture. Thread-safe; counts
// every decode per path.
class FakeDecoder {
public:
    RandomImageProvider::PlainDecoder function() {
        return [this](const std::string& path) { return decode(path); };
    }

    std::unique_ptr<RGBImage> decode(const std::string& path) {
        bool good = false;
        {
            std::lock_guard lock(mutex_);
            ++calls_[path];
            ++total_;
            good = std::filesystem::path(path).filename().string().rfind("bad", 0) != 0;
            if (good) decoded_.push_back(path);
        }
        return good ? makeRGBImage(1, 1) : nullptr;
    }

    int calls(const std::string& path) {
        std::lock_guard lock(mutex_);
        const auto found = calls_.find(path);
        return found == calls_.end() ? 0 : found->second;
    }
    int total() {
        std::lock_guard lock(mutex_);
        return total_;
    }
    std::map<std::string, int> allCalls() {
        std::lock_guard lock(mutex_);
        return calls_;
    }
    // Paths that decoded, in the order they did.
    std::vector<std::string> decoded() {
        std::lock_guard lock(mutex_);
        return decoded_;
    }

private:
    std::mutex mutex_;
    std::map<std::string, int> calls_;  // guarded by mutex_
    int total_ = 0;                     // guarded by mutex_
    std::vector<std::string> decoded_;  // guarded by mutex_
};

// Fake pictures are 1x1; only the fallback is 256x256.
inline bool isCheckerboard(const std::unique_ptr<RGBImage>& image) {
    return image && image->width == 256 && image->height == 256;
}

inline std::string makeDir(const std::string& path) {
    std::filesystem::create_directories(path);
    return path;
}

// Creates prefix0 .. prefix<count-1> in `dir`, empty.
inline std::vector<std::string> makeFiles(const std::string& dir, int count,
                                          const std::string& prefix = "pic") {
    std::vector<std::string> paths;
    for (int i = 0; i < count; ++i) {
        paths.push_back(joinPath(dir, prefix + std::to_string(i)));
        writeFile(paths.back(), "");
    }
    return paths;
}

// The entries of `dir` as the listing reports them, "." and ".." left out.
inline std::vector<DirectoryEntry> listingOf(const std::string& dir) {
    std::vector<DirectoryEntry> entries;
    DirectoryListing listing;
    if (!listing.open(dir)) return entries;
    DirectoryEntry entry;
    while (listing.next(entry)) {
        if (entry.name != "." && entry.name != "..") entries.push_back(entry);
    }
    return entries;
}

// Full paths of the files of `dir` in listing order.
inline std::vector<std::string> filesInListingOrder(const std::string& dir) {
    std::vector<std::string> paths;
    for (const auto& entry : listingOf(dir)) {
        if (!entry.isDirectory) paths.push_back(joinPath(dir, entry.name));
    }
    return paths;
}

// Serves `count` pictures, none of them the fallback, and returns the
// paths decoded for them.
// Serves `count` pictures, the first `shown` of them (all by default) told
// to the provider as on screen, as a display would.
inline std::vector<std::string> serve(RandomImageProvider& provider, FakeDecoder& decoder,
                                      int count, int shown = -1) {
    const std::size_t start = decoder.decoded().size();
    for (int i = 0; i < count; ++i) {
        auto image = provider.nextImage();
        EXPECT_FALSE(isCheckerboard(image)) << "call " << i;
        if (image && (shown < 0 || i < shown))
            for (const auto& file : image->files) provider.pictureShown(file);
    }
    const auto decoded = decoder.decoded();
    return {decoded.begin() + static_cast<std::ptrdiff_t>(start), decoded.end()};
}

// A tree whose folder "pictures" holds the file "pic0" and "loop", a link
// back to the tree's root: the root's path, or nothing when no such tree
// can be had. Natively it is made in `scratch`. Wine cannot make links, but
// shows a Unix link to a directory as a directory link, so there the tree
// is made by a CTest fixture outside Wine and named by GLIMMORA_LINK_LOOP.
inline std::optional<std::string> linkLoopTree(const TempDir& scratch) {
#ifdef _WIN32
    (void)scratch;
    const char* prepared = std::getenv("GLIMMORA_LINK_LOOP");
    if (!prepared || !std::filesystem::exists(std::string(prepared) + "\\pictures\\loop"))
        return std::nullopt;
    return std::string(prepared);
#else
    const std::string pictures = makeDir(scratch.file("pictures"));
    makeFiles(pictures, 1);
    std::filesystem::create_directory_symlink(scratch.path(), joinPath(pictures, "loop"));
    return scratch.path().string();
#endif
}

inline std::set<std::string> asSet(const std::vector<std::string>& v) {
    return {v.begin(), v.end()};
}

// Restores the chunk size and the random generator after each test.
class ProviderTest : public ::testing::Test {
protected:
    void SetUp() override { savedChunkSize_ = theSettings.scandirChunkSize; }
    void TearDown() override {
        theSettings.scandirChunkSize = savedChunkSize_;
        setRandomSource({});
    }

    // Every draw returns 0, so the shuffle exchanges each entry with itself
    // and `files` stays in walk order.
    static void keepWalkOrder() {
        setRandomSource([] { return 0; });
    }

private:
    std::int32_t savedChunkSize_ = 666;
};
