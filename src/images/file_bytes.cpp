#include "images/file_bytes.h"

#include <new>

#include "platform/regular_file.h"

// Only regular files: a FIFO or a device in a picture folder would keep the
// loader waiting for ever.
FileReader::FileReader(const char* path) : file_(openRegularFile(path)) {}

bool FileReader::read(std::size_t count, std::vector<unsigned char>& out) {
    if (!file_) return false;
    const std::size_t start = out.size();
    out.resize(start + count);
    const std::size_t got = std::fread(out.data() + start, 1, count, file_.get());
    out.resize(start + got);
    return got == count || !std::ferror(file_.get());
}

bool FileReader::readRest(std::size_t maxBytes, std::vector<unsigned char>& out) {
    if (!file_) return false;
    std::FILE* file = file_.get();
    // The size is only a first guess for the buffer: the read below stops at
    // the real end of file, and refuses anything past maxBytes whatever the
    // guess said (ftell cannot report sizes beyond 2 GiB everywhere).
    std::size_t guess = 0;
    const long here = std::ftell(file);
    if (here >= 0 && std::fseek(file, 0, SEEK_END) == 0) {
        const long end = std::ftell(file);
        if (end < 0 || static_cast<unsigned long>(end) > maxBytes) return false;
        if (end > here) guess = static_cast<std::size_t>(end - here);
        if (std::fseek(file, here, SEEK_SET) != 0) return false;
    }
    try {
        if (out.size() > maxBytes || guess > maxBytes - out.size()) return false;
        const std::size_t start = out.size();
        out.resize(start + guess);
        const std::size_t used = std::fread(out.data() + start, 1, guess, file);
        if (used < guess) {
            out.resize(start + used);
            return !std::ferror(file);
        }
        // The file may have grown since its size was taken.
        unsigned char chunk[4096];
        for (;;) {
            const std::size_t got = std::fread(chunk, 1, sizeof chunk, file);
            if (got == 0) break;
            if (out.size() + got > maxBytes) return false;
            out.insert(out.end(), chunk, chunk + got);
        }
        return !std::ferror(file);
    } catch (const std::bad_alloc&) {
        out.clear();
        out.shrink_to_fit();
        return false;
    }
}

bool readFileHead(const char* path, std::size_t count, std::vector<unsigned char>& out) {
    out.clear();
    return FileReader(path).read(count, out);
}

bool readFileBytes(const char* path, std::size_t maxBytes, std::vector<unsigned char>& out) {
    out.clear();
    return FileReader(path).readRest(maxBytes, out);
}
