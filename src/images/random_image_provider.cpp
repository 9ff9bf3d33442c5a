#include "images/random_image_provider.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <mutex>
#include <utility>

#include "display/random.h"
#include "images/load_image_file.h"
#include "images/shuffle_paths.h"
#include "settings/settings.h"

namespace {

// Hidden and system folders (the Recycle Bin, version control, settings),
// Synology's thumbnail folders and recycle bins hold copies or no photos at
// all. Windows marks its Recycle Bin as a system folder, but a drive of
// Windows' mounted elsewhere shows it as a plain "$RECYCLE.BIN" in any case.
bool mayHoldPhotos(const DirectoryEntry& entry) {
    auto named = [&](const char* name) {
        return entry.name.size() == std::strlen(name) &&
               std::equal(entry.name.begin(), entry.name.end(), name,
                          [](char a, char b) { return std::tolower(static_cast<unsigned char>(a)) == b; });
    };
    return !entry.isHidden && entry.name != "@eaDir" && !named("$recycle.bin") && !named("#recycle");
}

}  // namespace

RandomImageProvider::RandomImageProvider(const std::vector<std::string>& directories,
                                         Decoder decode, FirstChunk firstChunk,
                                         std::unique_ptr<PassMemory> memory)
    : decoder(decode ? std::move(decode) : loadImageFileDecoder()),
      memory(std::move(memory)),
      pendingDirs(directories),
      configuredPending(directories.size()) {
    if (firstChunk == FirstChunk::OnFirstPicture) return;
    // Nothing else can see the provider yet, but the fields are documented
    // as lock-guarded and the lock is cheap.
    std::lock_guard<SynchronizedObject> guard(*this);
    listFirstChunk();
}

RandomImageProvider::RandomImageProvider(const std::vector<std::string>& directories,
                                         PlainDecoder decode, FirstChunk firstChunk,
                                         std::unique_ptr<PassMemory> memory)
    : RandomImageProvider(directories,
                          decode ? Decoder([plain = std::move(decode)](const std::string& path,
                                                                       const PictureNeed&) {
                              return plain(path);
                          })
                                 : Decoder(),
                          firstChunk, std::move(memory)) {}

void RandomImageProvider::listFirstChunk() {
    firstChunkListed = true;
    scanChunk(theSettings.scandirChunkSize);
    shuffleFiles();
    cursor = 0;
    setAsideShown(0);
}

RandomImageProvider::Decoder RandomImageProvider::loadImageFileDecoder() {
    return [](const std::string& path, const PictureNeed& need) {
        return loadImageFile(path.c_str(), need);
    };
}

std::unique_ptr<RGBImage> RandomImageProvider::nextImage(const PictureNeed& need) {
    std::string path;
    for (;;) {
        if (!takeNextPath(path)) return ImageProvider::nextImage(need);
        // Outside the provider's lock: other loaders go on meanwhile.
        if (memory) memory->save();
        if (auto image = decoder(path, need)) {
            image->files = {path};
            return image;
        }
        dropFile(path);
    }
}

bool RandomImageProvider::takeNextPath(std::string& path) {
    std::lock_guard<SynchronizedObject> guard(*this);
    if (!firstChunkListed) listFirstChunk();
    if (files.empty() && walkFinished()) return false;
    if (cursor >= files.size()) {
        // The pass ends once every file has been served, not before the
        // walk has listed them all (files an earlier run showed may fill
        // the first chunks).
        while (cursor >= files.size() && !walkFinished() && theSettings.scandirChunkSize > 0)
            growPass(theSettings.scandirChunkSize);
    }
    if (cursor >= files.size()) {
        if (!walkFinished()) scanChunk(theSettings.scandirChunkSize);
        shuffleFiles();
        cursor = 0;
        if (memory) memory->beginNewPass();
        if (files.empty()) return false;
    } else if (servedAny && !walkFinished()) {
        // Not before the first picture, which waits for nothing but the
        // chunk listed at construction.
        growPass(theSettings.scandirChunkSize);
    }
    path = files[cursor];
    ++cursor;
    servedAny = true;
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
            openNextDirectory();
            continue;
        }
        if (!listing.next(entry)) {
            listing.close();
            continue;
        }
        if (entry.name == "." || entry.name == "..") continue;
        if (entry.isDirectory && !mayHoldPhotos(entry)) continue;
        std::string path = joinPath(currentDir, entry.name);
        if (entry.isDirectory) {
            pendingDirs.push_back(std::move(path));
        } else {
            files.push_back(std::move(path));
            ++found;
        }
    }
}

void RandomImageProvider::openNextDirectory() {
    // Configured directories lie below every subdirectory on the stack.
    const bool configured = pendingDirs.size() <= configuredPending;
    if (configured) configuredPending = pendingDirs.size() - 1;
    currentDir = std::move(pendingDirs.back());
    pendingDirs.pop_back();
    // A directory that cannot be opened is skipped silently.
    if (!listing.open(currentDir)) return;
    // Android's mark, which photo apps honour, for a folder of no photos
    // (cached album art, app data). Looked up before any of its files is
    // listed.
    if (!configured && listing.holdsFile(".nomedia")) {
        listing.close();
        return;
    }
    // A link back up the tree, a second link to one folder or a configured
    // folder inside another would list the same files again (and a loop
    // would go on until paths grow too long). One whose identity cannot be
    // told is walked; a loop through it ends at the next one that can.
    if (const auto identity = listing.identity()) {
        if (!walked.insert(*identity).second) listing.close();
    }
}

void RandomImageProvider::growPass(std::int32_t n) {
    const std::size_t before = files.size();
    scanChunk(n);
    setAsideShown(before);
    // An inside-out shuffle of the pass's remainder: each new file swaps
    // with a place drawn over the unserved files and itself, so the
    // remainder stays in random order. The wide draw reaches every place
    // however long the list.
    // Files set aside as shown sit before the cursor now.
    const int first = static_cast<int>(cursor);
    for (std::size_t k = std::max(before, cursor); k < files.size(); ++k) {
        const int j = wideUniformInt(first, static_cast<int>(k));
        std::swap(files[k], files[static_cast<std::size_t>(j)]);
    }
}

void RandomImageProvider::shuffleFiles() { shufflePaths(files); }

void RandomImageProvider::setAsideShown(std::size_t first) {
    if (!memory) return;
    for (std::size_t k = first; k < files.size(); ++k) {
        if (!memory->shownInPass(files[k])) continue;
        std::swap(files[k], files[cursor]);
        ++cursor;
    }
}

RandomImageProvider::Snapshot RandomImageProvider::snapshot() {
    std::lock_guard<SynchronizedObject> guard(*this);
    return Snapshot{pendingDirs, currentDir, files, cursor, listing.isOpen()};
}

bool RandomImageProvider::listingComplete() {
    std::lock_guard<SynchronizedObject> guard(*this);
    return walkFinished();
}

void RandomImageProvider::pictureShown(const std::string& file) {
    // Not when served: the slides queued, waiting for a partner or fading in
    // when a run ends were never seen, and the next run shows them first.
    // One served at the end of a pass and seen after the next began counts
    // in the new pass, so it does not come again straight away.
    if (memory) memory->markShown(file);
}
