#pragma once
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_set>
#include <vector>

#include "images/pass_state.h"

// Which pictures of the current pass have been shown, kept from run to run
// so that the next run shows the others first. Pictures are known by their
// path. The state is written whole to a temporary file and renamed into
// place (platform/state_file.h), with a checksum: a crash loses at most
// the pictures since the last save, a damaged or unreadable state starts a
// new pass with one line on the debugger output, and processes that write
// at the same time (a preview beside the full-screen saver, one per screen)
// never mix their bytes: each merges what the file holds for the same pass
// into its own before it writes.
//
// Safe to call from any thread.
class PassMemory {
public:
    // The state file's name in the state folder.
    static constexpr const char* kFileName = "shown-pictures";
    // A temporary state file this old belongs to no live writer.
    static constexpr int kStaleTemporarySeconds = 600;

    // Remembers the pass of `directories` in `path`, reading what an
    // earlier run kept there; an empty path keeps nothing on disk. A state
    // of another folder list starts a new pass.
    PassMemory(std::string path, const std::vector<std::string>& directories);
    // In the platform's state folder; without one, nothing is kept.
    static std::unique_ptr<PassMemory> forFolders(const std::vector<std::string>& directories);
    // Writes what is not written yet.
    ~PassMemory();
    PassMemory(const PassMemory&) = delete;
    PassMemory& operator=(const PassMemory&) = delete;

    // True when `path` was shown in the current pass, by this run or an
    // earlier one.
    bool shownInPass(const std::string& path) const;
    void markShown(const std::string& path);
    // Everything may be shown again.
    void beginNewPass();
    // Writes the state when it changed since the last write. While another
    // thread writes it waits for that write and then writes what is still
    // new: a write already under way may have read the marks before this
    // thread's, and the run may end before any later save.
    void save();

    // Pictures marked shown in the current pass.
    std::size_t shownCount() const;

private:
    void load();
    // The caller holds writeMutex_.
    void writeNow();

    const std::string path_;
    const std::uint64_t folders_;

    mutable std::mutex mutex_;
    std::uint64_t pass_ = 0;                   // guarded by mutex_
    std::vector<std::uint64_t> earlier_;       // guarded by mutex_; ascending
    std::unordered_set<std::uint64_t> added_;  // guarded by mutex_; not in earlier_
    std::uint64_t changes_ = 0;                // guarded by mutex_; counts every change

    std::mutex writeMutex_;        // one writer at a time
    std::uint64_t written_ = 0;    // guarded by writeMutex_: changes_ at the last write
    bool writeFailed_ = false;     // guarded by writeMutex_: reported once
};
