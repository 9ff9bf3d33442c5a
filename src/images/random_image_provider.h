#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "images/image_provider.h"
#include "images/pass_memory.h"
#include "images/synchronized_object.h"
#include "platform/directory_listing.h"

// The slideshow's source of pictures: walks the configured directories and
// all their subdirectories a chunk at a time, and serves the files found so
// far in shuffled passes. Files that fail to decode are dropped for good;
// with nothing usable left it serves the base class's checkerboard.
// One provider is shared by every loader thread.
//
// The first picture waits for one chunk only; after that every picture
// served takes the walk one chunk further, and each file it lists joins
// the current pass at a random place among those not yet served. A large
// library is thus listed within the first few hundred pictures instead of
// one chunk per pass. Every directory is walked once, however many links
// or configured paths lead to it. Below the configured directories the
// walk leaves out folders that hold no photos, with all they contain:
// hidden and system folders, thumbnail caches ("@eaDir") and folders
// marked with a ".nomedia" file.
class RandomImageProvider : public ImageProvider, public SynchronizedObject {
public:
    // Turns a file path into a picture no smaller than `need` asks (see
    // ImageProvider::nextImage), or null when it is not one.
    using Decoder =
        std::function<std::unique_ptr<RGBImage>(const std::string& path, const PictureNeed& need)>;
    // One that always decodes the whole picture (stand-ins in tests).
    using PlainDecoder = std::function<std::unique_ptr<RGBImage>(const std::string& path)>;

    // When the first chunk (theSettings.scandirChunkSize files) is listed
    // and shuffled: at construction, or by the first nextImage call, on the
    // thread that asks (the saver's windows must not wait for a slow drive).
    enum class FirstChunk { AtConstruction, OnFirstPicture };

    // The last directory of the list is walked first. An empty `decode`
    // means loadImageFile. With `memory` the pass goes on from an earlier
    // run: files it has shown in the current pass count as served, and
    // every file served is marked and saved there.
    explicit RandomImageProvider(const std::vector<std::string>& directories,
                                 Decoder decode = loadImageFileDecoder(),
                                 FirstChunk firstChunk = FirstChunk::AtConstruction,
                                 std::unique_ptr<PassMemory> memory = nullptr);
    RandomImageProvider(const std::vector<std::string>& directories, PlainDecoder decode,
                        FirstChunk firstChunk = FirstChunk::AtConstruction,
                        std::unique_ptr<PassMemory> memory = nullptr);
    // Tests and benchmarks derive probes from it, and owners hold it by
    // this type.
    virtual ~RandomImageProvider() = default;
    RandomImageProvider(const RandomImageProvider&) = delete;
    RandomImageProvider& operator=(const RandomImageProvider&) = delete;

    // Never null. Decodes without holding the lock, so loaders decode in
    // parallel.
    std::unique_ptr<RGBImage> nextImage(const PictureNeed& need) override;
    void pictureShown(const std::string& file) override;
    using ImageProvider::nextImage;

    static Decoder loadImageFileDecoder();

protected:
    // A copy of the walk's state, taken under the lock, for tests and
    // benchmarks.
    struct Snapshot {
        std::vector<std::string> pendingDirs;
        std::string currentDir;
        std::vector<std::string> files;
        std::size_t cursor = 0;
        bool listingOpen = false;
    };
    Snapshot snapshot();
    // True once every directory has been listed; cheaper than a snapshot.
    bool listingComplete();

private:
    // The caller holds the lock.
    void listFirstChunk();
    void scanChunk(std::int32_t n);
    // scanChunk, with each new file moved to a random place among the files
    // of the current pass not yet served.
    void growPass(std::int32_t n);
    // Opens the next pending directory that has not been walked yet.
    void openNextDirectory();
    void shuffleFiles();
    // Moves the files from `first` on that the memory has shown in this
    // pass to the served part of the pass.
    void setAsideShown(std::size_t first);
    bool walkFinished() const { return pendingDirs.empty() && !listing.isOpen(); }

    // These take the lock themselves.
    // The path to decode next, or false when there is nothing to serve.
    bool takeNextPath(std::string& path);
    // Forgets the first entry equal to `path`, keeping the cursor on the
    // entry it designated.
    void dropFile(const std::string& path);

    const Decoder decoder;                  // immutable after construction
    const std::unique_ptr<PassMemory> memory;  // may be null; locks itself
    std::vector<std::string> pendingDirs;   // guarded by the provider's mutex; top is back()
    // How many of pendingDirs, from the bottom, are configured directories,
    // which are walked whatever their names say. Guarded by the provider's mutex.
    std::size_t configuredPending = 0;
    std::string currentDir;                 // guarded by the provider's mutex
    std::vector<std::string> files;         // guarded by the provider's mutex
    std::size_t cursor = 0;                 // guarded by the provider's mutex; files.size() ends a pass
    DirectoryListing listing;               // guarded by the provider's mutex; open on currentDir
    std::set<DirectoryIdentity> walked;     // guarded by the provider's mutex
    bool servedAny = false;                 // guarded by the provider's mutex
    bool firstChunkListed = false;          // guarded by the provider's mutex
};
