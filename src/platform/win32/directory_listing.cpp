#include "platform/directory_listing.h"

#include <windows.h>

struct DirectoryListing::State {
    HANDLE handle = INVALID_HANDLE_VALUE;
    WIN32_FIND_DATAA data{};
    // FindFirstFileA hands back the first entry along with the handle. In a
    // drive's root directory, which has no "." entry, it is a real file.
    bool firstPending = false;

    State() = default;
    State(const State&) = delete;
    State& operator=(const State&) = delete;
    ~State() {
        if (handle != INVALID_HANDLE_VALUE) FindClose(handle);
    }
};

DirectoryListing::DirectoryListing() = default;
DirectoryListing::~DirectoryListing() = default;

bool DirectoryListing::open(const std::string& directoryPath) {
    close();
    // An empty path would make the pattern "\*", the root of the current drive.
    if (directoryPath.empty()) return false;
    auto state = std::make_unique<State>();
    const std::string pattern = joinPath(directoryPath, "*");
    state->handle = FindFirstFileA(pattern.c_str(), &state->data);
    if (state->handle == INVALID_HANDLE_VALUE) return false;
    state->firstPending = true;
    state_ = std::move(state);
    return true;
}

bool DirectoryListing::next(DirectoryEntry& entry) {
    if (!state_) return false;
    if (state_->firstPending) {
        state_->firstPending = false;
    } else if (!FindNextFileA(state_->handle, &state_->data)) {
        return false;
    }
    entry.name = state_->data.cFileName;
    entry.isDirectory = (state_->data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    return true;
}

void DirectoryListing::close() { state_.reset(); }

std::string joinPath(const std::string& directory, const std::string& name) {
    if (!directory.empty() && (directory.back() == '\\' || directory.back() == '/')) {
        return directory + name;
    }
    return directory + '\\' + name;
}
