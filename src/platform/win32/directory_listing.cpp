#include "platform/directory_listing.h"

#include <windows.h>

#include <cstring>

struct DirectoryListing::State {
    HANDLE handle = INVALID_HANDLE_VALUE;
    WIN32_FIND_DATAA data{};
    std::string path;  // the directory, for identity()
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
    state->path = directoryPath;
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
    entry.isHidden = (state_->data.dwFileAttributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)) != 0;
    return true;
}

void DirectoryListing::close() { state_.reset(); }

bool DirectoryListing::holdsFile(const std::string& name) const {
    if (!state_) return false;
    const DWORD attributes = GetFileAttributesA(joinPath(state_->path, name).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

std::optional<DirectoryIdentity> DirectoryListing::identity() const {
    if (!state_) return std::nullopt;
    // A directory handle only to ask about it; it is never read through.
    const HANDLE handle = CreateFileA(state_->path.c_str(), FILE_READ_ATTRIBUTES,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return std::nullopt;
    std::optional<DirectoryIdentity> result;
    // The 128-bit file id where the system has it (ReFS needs all of it);
    // the volume serial and 64-bit file index otherwise.
    FILE_ID_INFO wide{};
    BY_HANDLE_FILE_INFORMATION info{};
    if (GetFileInformationByHandleEx(handle, FileIdInfo, &wide, sizeof wide)) {
        DirectoryIdentity id;
        id.volume = wide.VolumeSerialNumber;
        static_assert(sizeof wide.FileId.Identifier == sizeof id.file);
        std::memcpy(id.file, wide.FileId.Identifier, sizeof id.file);
        result = id;
    } else if (GetFileInformationByHandle(handle, &info)) {
        DirectoryIdentity id;
        id.volume = info.dwVolumeSerialNumber;
        id.file[0] = (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
        result = id;
    }
    CloseHandle(handle);
    return result;
}

std::string joinPath(const std::string& directory, const std::string& name) {
    if (!directory.empty() && (directory.back() == '\\' || directory.back() == '/')) {
        return directory + name;
    }
    return directory + '\\' + name;
}
