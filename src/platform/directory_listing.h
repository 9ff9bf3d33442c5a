#pragma once
#include <compare>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

// One entry of a directory listing, "." and ".." included.
struct DirectoryEntry {
    std::string name;
    bool isDirectory = false;
    // Kept out of the user's sight by the system: on Windows the hidden or
    // system attribute (the Recycle Bin, "System Volume Information"),
    // elsewhere a name that starts with a dot.
    bool isHidden = false;
};

// What a directory is, whatever path led to it: the volume (or device) and
// the file number on it. Two paths with the same identity list the same
// entries, so a walk can tell a link back to where it has been.
struct DirectoryIdentity {
    std::uint64_t volume = 0;
    std::uint64_t file[2] = {0, 0};
    auto operator<=>(const DirectoryIdentity&) const = default;
};

// The entries of one directory, read one at a time so that a walk can stop
// after any entry and resume later. At most one directory is open at a time;
// the listing is closed by close(), by the next open() and by the destructor.
//
// A link to a directory (a symbolic link, or a junction on Windows) is
// reported as a directory, as the user sees it: a Pictures folder may well
// be a link to another drive. A link can also lead back up the tree, so a
// walk that follows links must keep the identities of the directories it
// has listed.
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

    // True when the open directory holds an entry `name` that is not a
    // directory. One look-up, however large the directory.
    bool holdsFile(const std::string& name) const;

    // The identity of the open directory, or nothing when nothing is open
    // or the system cannot tell.
    std::optional<DirectoryIdentity> identity() const;

private:
    struct State;
    std::unique_ptr<State> state_;
};

// `directory` and `name` joined by the platform's separator ('\' on
// Windows, '/' elsewhere), without doubling a separator that `directory`
// already ends with. The result is never truncated: a path too long for the
// system simply fails when it is used.
std::string joinPath(const std::string& directory, const std::string& name);
