#include "platform/state_file.h"

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <memory>

namespace {

// A file handle closed on every way out.
class Handle {
public:
    explicit Handle(HANDLE handle) : handle_(handle) {}
    ~Handle() {
        if (valid()) CloseHandle(handle_);
    }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    bool valid() const { return handle_ != INVALID_HANDLE_VALUE; }
    HANDLE get() const { return handle_; }
    bool closeNow() {
        const HANDLE handle = handle_;
        handle_ = INVALID_HANDLE_VALUE;
        return CloseHandle(handle) != FALSE;
    }

private:
    HANDLE handle_;
};

std::optional<std::string> environmentValue(const char* name) {
    char value[MAX_PATH * 2];
    const DWORD length = GetEnvironmentVariableA(name, value, sizeof value);
    if (length == 0 || length >= sizeof value) return std::nullopt;
    return std::string(value, length);
}

bool isDirectory(const std::string& path) {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::atomic<unsigned> temporaryCounter{0};

}  // namespace

std::optional<std::string> stateDirectory() {
    auto base = environmentValue("LOCALAPPDATA");
    if (!base) {
        const auto profile = environmentValue("USERPROFILE");
        if (!profile) return std::nullopt;
        base = *profile + "\\AppData\\Local";
    }
    if (!isDirectory(*base)) return std::nullopt;
    const std::string directory = *base + "\\Glimmora";
    CreateDirectoryA(directory.c_str(), nullptr);
    if (!isDirectory(directory)) return std::nullopt;
    return directory;
}

std::string stateFilePath(const std::string& directory, const char* name) {
    return directory + "\\" + name;
}

StateRead readStateFile(const std::string& path, std::size_t maxBytes,
                        std::vector<unsigned char>& bytes) {
    bytes.clear();
    // Shared every way, so that a writer's rename never waits for a reader.
    Handle file(CreateFileA(path.c_str(), GENERIC_READ,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.valid()) {
        const DWORD error = GetLastError();
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? StateRead::Missing
                                                                               : StateRead::Failed;
    }
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file.get(), &size) || size.QuadPart < 0 ||
        static_cast<unsigned long long>(size.QuadPart) > maxBytes) {
        return StateRead::Failed;
    }
    bytes.resize(static_cast<std::size_t>(size.QuadPart) + 1);
    std::size_t got = 0;
    while (got < bytes.size()) {
        const DWORD want = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - got, 1u << 24));
        DWORD n = 0;
        if (!ReadFile(file.get(), bytes.data() + got, want, &n, nullptr)) return StateRead::Failed;
        if (n == 0) break;
        got += n;
    }
    if (got > maxBytes) return StateRead::Failed;
    bytes.resize(got);
    return StateRead::Read;
}

bool replaceStateFile(const std::string& path, std::span<const unsigned char> bytes) {
    const std::string temporary = path + ".tmp." + std::to_string(GetCurrentProcessId()) + "." +
                                  std::to_string(temporaryCounter.fetch_add(1));
    Handle file(CreateFileA(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                            FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.valid()) return false;
    bool written = true;
    std::size_t done = 0;
    while (written && done < bytes.size()) {
        const DWORD want = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1u << 24));
        DWORD n = 0;
        if (!WriteFile(file.get(), bytes.data() + done, want, &n, nullptr) || n == 0) written = false;
        else done += n;
    }
    // On the disk before the name moves: a power cut after the rename must
    // not leave an empty file under the old name.
    written = written && FlushFileBuffers(file.get());
    written = file.closeNow() && written;
    if (!written || !MoveFileExA(temporary.c_str(), path.c_str(),
                                 MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        DeleteFileA(temporary.c_str());
        return false;
    }
    return true;
}

void removeStaleTemporaries(const std::string& path, int seconds) {
    const std::size_t slash = path.find_last_of("\\/");
    const std::string directory = slash == std::string::npos ? "" : path.substr(0, slash + 1);
    // The pattern also meets short names; only the long name counts.
    const std::string prefix = path.substr(directory.size()) + ".tmp.";
    WIN32_FIND_DATAA found;
    const HANDLE first = FindFirstFileA((path + ".tmp.*").c_str(), &found);
    if (first == INVALID_HANDLE_VALUE) return;
    const std::unique_ptr<void, BOOL(WINAPI*)(HANDLE)> search(first, FindClose);
    FILETIME nowTime;
    GetSystemTimeAsFileTime(&nowTime);
    const auto ticks = [](const FILETIME& t) {
        return (static_cast<unsigned long long>(t.dwHighDateTime) << 32) | t.dwLowDateTime;
    };
    const unsigned long long now = ticks(nowTime);
    const unsigned long long age = static_cast<unsigned long long>(seconds) * 10000000ull;
    do {
        if ((found.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) ||
            std::string(found.cFileName).compare(0, prefix.size(), prefix) != 0)
            continue;
        const unsigned long long written = ticks(found.ftLastWriteTime);
        if (written < now && now - written > age) DeleteFileA((directory + found.cFileName).c_str());
    } while (FindNextFileA(search.get(), &found));
}
