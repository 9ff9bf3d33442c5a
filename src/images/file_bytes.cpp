#include "images/file_bytes.h"

#include <cstdio>
#include <memory>
#include <new>

namespace {

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

File openForReading(const char* path) { return File(std::fopen(path, "rb")); }

}  // namespace

bool readFileHead(const char* path, std::size_t count, std::vector<unsigned char>& out) {
    File file = openForReading(path);
    if (!file) return false;
    out.resize(count);
    const std::size_t got = std::fread(out.data(), 1, count, file.get());
    if (got < count && std::ferror(file.get())) return false;
    out.resize(got);
    return true;
}

bool readFileBytes(const char* path, std::size_t maxBytes, std::vector<unsigned char>& out) {
    File file = openForReading(path);
    if (!file) return false;
    // The size is only a first guess for the buffer: the read below stops at
    // the real end of file, and refuses anything past maxBytes whatever the
    // guess said (ftell cannot report sizes beyond 2 GiB everywhere).
    std::size_t guess = 0;
    if (std::fseek(file.get(), 0, SEEK_END) == 0) {
        const long end = std::ftell(file.get());
        if (end < 0 || static_cast<unsigned long>(end) > maxBytes) return false;
        guess = static_cast<std::size_t>(end);
        if (std::fseek(file.get(), 0, SEEK_SET) != 0) return false;
    }
    try {
        out.clear();
        out.resize(guess);
        std::size_t used = std::fread(out.data(), 1, guess, file.get());
        if (used < guess) {
            if (std::ferror(file.get())) return false;
            out.resize(used);
            return true;
        }
        // The file may have grown since its size was taken.
        unsigned char chunk[4096];
        for (;;) {
            const std::size_t got = std::fread(chunk, 1, sizeof chunk, file.get());
            if (got == 0) break;
            if (out.size() + got > maxBytes) return false;
            out.insert(out.end(), chunk, chunk + got);
        }
        return !std::ferror(file.get());
    } catch (const std::bad_alloc&) {
        out.clear();
        out.shrink_to_fit();
        return false;
    }
}
