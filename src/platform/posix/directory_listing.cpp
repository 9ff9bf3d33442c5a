#include "platform/directory_listing.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

struct DirectoryListing::State {
    DIR* dir = nullptr;

    State() = default;
    State(const State&) = delete;
    State& operator=(const State&) = delete;
    ~State() {
        if (dir) closedir(dir);
    }
};

DirectoryListing::DirectoryListing() = default;
DirectoryListing::~DirectoryListing() = default;

bool DirectoryListing::open(const std::string& directoryPath) {
    close();
    if (directoryPath.empty()) return false;
    auto state = std::make_unique<State>();
    state->dir = opendir(directoryPath.c_str());
    if (!state->dir) return false;
    state_ = std::move(state);
    return true;
}

bool DirectoryListing::next(DirectoryEntry& entry) {
    if (!state_) return false;
    const dirent* found = readdir(state_->dir);
    if (!found) return false;
    entry.name = found->d_name;
    entry.isHidden = found->d_name[0] == '.';
    if (found->d_type == DT_UNKNOWN || found->d_type == DT_LNK) {
        // Some file systems leave the type out, and a link's type is that of
        // its target: a link to a directory is a directory, a dangling one
        // is listed like a file (and dropped when it fails to load).
        struct stat info {};
        entry.isDirectory = fstatat(dirfd(state_->dir), found->d_name, &info, 0) == 0 &&
                            S_ISDIR(info.st_mode);
    } else {
        entry.isDirectory = found->d_type == DT_DIR;
    }
    return true;
}

void DirectoryListing::close() { state_.reset(); }

bool DirectoryListing::holdsFile(const std::string& name) const {
    struct stat info {};
    return state_ && fstatat(dirfd(state_->dir), name.c_str(), &info, 0) == 0 && !S_ISDIR(info.st_mode);
}

std::optional<DirectoryIdentity> DirectoryListing::identity() const {
    struct stat info {};
    if (!state_ || fstat(dirfd(state_->dir), &info) != 0) return std::nullopt;
    DirectoryIdentity id;
    id.volume = static_cast<std::uint64_t>(info.st_dev);
    id.file[0] = static_cast<std::uint64_t>(info.st_ino);
    return id;
}

std::string joinPath(const std::string& directory, const std::string& name) {
    if (!directory.empty() && directory.back() == '/') return directory + name;
    return directory + '/' + name;
}
