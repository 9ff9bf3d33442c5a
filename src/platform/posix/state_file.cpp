#include "platform/state_file.h"

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <memory>
#include <string_view>

namespace {

// Makes every missing folder of an absolute path, for the user alone.
bool makeDirectories(const std::string& path) {
    for (std::size_t slash = path.find('/', 1);; slash = path.find('/', slash + 1)) {
        const std::string part = path.substr(0, slash);
        if (mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) return false;
        if (slash == std::string::npos) break;
    }
    struct stat info {};
    return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

// A file descriptor closed on every way out.
class Descriptor {
public:
    explicit Descriptor(int fd) : fd_(fd) {}
    ~Descriptor() {
        if (fd_ >= 0) close(fd_);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return fd_; }
    // Closes now; false when the close reported an error.
    bool closeNow() {
        const int fd = fd_;
        fd_ = -1;
        return close(fd) == 0;
    }

private:
    int fd_;
};

std::atomic<unsigned> temporaryCounter{0};

}  // namespace

std::optional<std::string> stateDirectory() {
    std::string base;
    // XDG's rule: a relative XDG_STATE_HOME is to be ignored.
    const char* stateHome = std::getenv("XDG_STATE_HOME");
    const char* home = std::getenv("HOME");
    if (stateHome && stateHome[0] == '/') base = stateHome;
    else if (home && home[0] == '/') base = std::string(home) + "/.local/state";
    else return std::nullopt;
    const std::string directory = base + "/glimmora";
    if (!makeDirectories(directory)) return std::nullopt;
    return directory;
}

std::string stateFilePath(const std::string& directory, const char* name) {
    return directory + "/" + name;
}

StateRead readStateFile(const std::string& path, std::size_t maxBytes,
                        std::vector<unsigned char>& bytes) {
    bytes.clear();
    Descriptor file(open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (file.get() < 0) return errno == ENOENT ? StateRead::Missing : StateRead::Failed;
    struct stat info {};
    if (fstat(file.get(), &info) != 0 || !S_ISREG(info.st_mode)) return StateRead::Failed;
    if (static_cast<unsigned long long>(info.st_size) > maxBytes) return StateRead::Failed;
    // One byte more than the size told, to notice a file still growing.
    bytes.resize(static_cast<std::size_t>(info.st_size) + 1);
    std::size_t got = 0;
    while (got < bytes.size()) {
        const ssize_t n = read(file.get(), bytes.data() + got, bytes.size() - got);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return StateRead::Failed;
        if (n == 0) break;
        got += static_cast<std::size_t>(n);
    }
    if (got > maxBytes) return StateRead::Failed;
    bytes.resize(got);
    return StateRead::Read;
}

bool replaceStateFile(const std::string& path, std::span<const unsigned char> bytes) {
    const std::string temporary = path + ".tmp." + std::to_string(getpid()) + "." +
                                  std::to_string(temporaryCounter.fetch_add(1));
    Descriptor file(open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
    if (file.get() < 0) return false;
    bool written = true;
    std::size_t done = 0;
    while (written && done < bytes.size()) {
        const ssize_t n = write(file.get(), bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) written = false;
        else done += static_cast<std::size_t>(n);
    }
    // On the disk before the name moves: a power cut after the rename must
    // not leave an empty file under the old name.
    written = written && fsync(file.get()) == 0;
    written = file.closeNow() && written;
    if (!written || rename(temporary.c_str(), path.c_str()) != 0) {
        unlink(temporary.c_str());
        return false;
    }
    return true;
}

void removeStaleTemporaries(const std::string& path, int seconds) {
    const std::size_t slash = path.rfind('/');
    const std::string directory = slash == std::string::npos ? "." : path.substr(0, slash);
    const std::string prefix =
        (slash == std::string::npos ? path : path.substr(slash + 1)) + ".tmp.";
    const std::unique_ptr<DIR, int (*)(DIR*)> listing(opendir(directory.c_str()), closedir);
    if (!listing) return;
    const std::time_t now = std::time(nullptr);
    while (const dirent* entry = readdir(listing.get())) {
        if (std::string_view(entry->d_name).substr(0, prefix.size()) != prefix) continue;
        const std::string file = directory + "/" + entry->d_name;
        struct stat info {};
        if (lstat(file.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
            now - info.st_mtime > seconds)
            unlink(file.c_str());
    }
}
