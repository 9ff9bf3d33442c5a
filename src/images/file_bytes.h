#pragma once
#include <cstddef>
#include <cstdio>
#include <memory>
#include <vector>

// Files larger than this are not pictures the saver will try to hold in
// memory at once.
constexpr std::size_t kMaxImageFileBytes = std::size_t{1} << 30;

// A file read from its start in steps: a head to recognise it by, and the
// rest only when it is worth reading. Closed with the object.
class FileReader {
public:
    explicit FileReader(const char* path);

    bool isOpen() const { return file_ != nullptr; }

    // Appends up to `count` further bytes to `out`, fewer at the end of the
    // file. False when the file is not open or cannot be read.
    bool read(std::size_t count, std::vector<unsigned char>& out);

    // Appends everything left to `out`. False when the file is not open or
    // cannot be read, when `out` would grow past `maxBytes`, or when memory
    // for it is short.
    bool readRest(std::size_t maxBytes, std::vector<unsigned char>& out);

private:
    struct Closer {
        void operator()(std::FILE* f) const { std::fclose(f); }
    };
    std::unique_ptr<std::FILE, Closer> file_;
};

// The first up to `count` bytes of the file, fewer when it is shorter.
// False when the file cannot be opened or read.
bool readFileHead(const char* path, std::size_t count, std::vector<unsigned char>& out);

// The whole file. False when it cannot be opened or read, or when it is
// larger than `maxBytes` or memory for it is short.
bool readFileBytes(const char* path, std::size_t maxBytes, std::vector<unsigned char>& out);
