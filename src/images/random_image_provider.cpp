#include "images/random_image_provider.h"

#include <algorithm>
#include <mutex>
#include <utility>

#include "display/random.h"
#include "images/load_image_file.h"
#include "settings/settings.h"

RandomImageProvider::RandomImageProvider(const std::vector<std::string>& directories,
                                         Decoder decode)
    : decoder(decode ? std::move(decode) : loadImageFileDecoder()), pendingDirs(directories) {
    // Nothing else can see the provider yet, but the fields are documented
    // as lock-guarded and the lock is cheap.
    std::lock_guard<SynchronizedObject> guard(*this);
    scanChunk(theSettings.scandirChunkSize);
    shuffleFiles();
    cursor = 0;
}

RandomImageProvider::Decoder RandomImageProvider::loadImageFileDecoder() {
    return [](const std::string& path) { return loadImageFile(path.c_str()); };
}

std::unique_ptr<RGBImage> RandomImageProvider::nextImage() {
    std::string path;
    for (;;) {
        if (!takeNextPath(path)) return ImageProvider::nextImage();
        if (auto image = decoder(path)) return image;
        dropFile(path);
    }
}

bool RandomImageProvider::takeNextPath(std::string& path) {
    std::lock_guard<SynchronizedObject> guard(*this);
    if (files.empty() && walkFinished()) return false;
    if (cursor >= files.size()) {
        if (!walkFinished()) scanChunk(theSettings.scandirChunkSize);
        shuffleFiles();
        cursor = 0;
        if (files.empty()) return false;
    }
    path = files[cursor];
    ++cursor;
    return true;
}

void RandomImageProvider::dropFile(const std::string& path) {
    std::lock_guard<SynchronizedObject> guard(*this);
    // Looked up by value: other loaders may have reshuffled since the path
    // was served. Only the first copy goes when a path was listed twice.
    const auto found = std::find(files.begin(), files.end(), path);
    if (found == files.end()) return;
    const auto index = static_cast<std::size_t>(found - files.begin());
    files.erase(found);
    if (cursor > index) --cursor;
}

void RandomImageProvider::scanChunk(std::int32_t n) {
    std::int32_t found = 0;
    DirectoryEntry entry;
    while (found < n) {
        if (!listing.isOpen()) {
            if (pendingDirs.empty()) return;
            currentDir = std::move(pendingDirs.back());
            pendingDirs.pop_back();
            // A directory that cannot be opened is skipped silently.
            listing.open(currentDir);
            continue;
        }
        if (!listing.next(entry)) {
            listing.close();
            continue;
        }
        if (entry.name == "." || entry.name == "..") continue;
        std::string path = joinPath(currentDir, entry.name);
        if (entry.isDirectory) {
            pendingDirs.push_back(std::move(path));
        } else {
            files.push_back(std::move(path));
            ++found;
        }
    }
}

void RandomImageProvider::shuffleFiles() {
    if (files.size() < 2) return;
    // The draw's reach is limited over wide ranges, which biases long lists;
    // the saver has always shuffled this way and keeps doing so.
    const int last = static_cast<int>(std::min<std::size_t>(files.size() - 1, 0x7FFFFFFE));
    for (int i = 0; i < last; ++i) {
        const int j = uniformInt(i, last);
        std::swap(files[static_cast<std::size_t>(i)], files[static_cast<std::size_t>(j)]);
    }
}

RandomImageProvider::Snapshot RandomImageProvider::snapshot() {
    std::lock_guard<SynchronizedObject> guard(*this);
    return Snapshot{pendingDirs, currentDir, files, cursor, listing.isOpen()};
}
