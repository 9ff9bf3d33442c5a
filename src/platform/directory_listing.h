#pragma once
#include <memory>
#include <string>

// One entry of a directory listing, "." and ".." included.
struct DirectoryEntry {
    std::string name;
    bool isDirectory = false;
};

// The entries of one directory, read one at a time so that a walk can stop
// after any entry and resume later. At most one directory is open at a time;
// the listing is closed by close(), by the next open() and by the destructor.
//
// Symbolic links are reported as what they are, never as the directory they
// may point to: a directory walk keeps no record of where it has been, so
// following a link back up the tree would walk forever.
class DirectoryListing {
public:
    DirectoryListing();
    ~DirectoryListing();
    DirectoryListing(const DirectoryListing&) = delete;
    DirectoryListing& operator=(const DirectoryListing&) = delete;

    // Closes any open listing, then opens `directoryPath`. False when it is
    // empty, missing, not accessible or not a directory; nothing is open
    // then. (An empty path is refused rather than taken as the current
    // drive's root, which Windows would otherwise list.)
    bool open(const std::string& directoryPath);

    // The next entry, starting with the very first one the system reports.
    // False at the end of the listing, after a read error (the listing is
    // treated as complete) and when nothing is open.
    bool next(DirectoryEntry& entry);

    void close();
    bool isOpen() const { return state_ != nullptr; }

private:
    struct State;
    std::unique_ptr<State> state_;
};

// `directory` and `name` joined by the platform's separator ('\' on
// Windows, '/' elsewhere), without doubling a separator that `directory`
// already ends with. The result is never truncated: a path too long for the
// system simply fails when it is used.
std::string joinPath(const std::string& directory, const std::string& name);
