#pragma once
#include <cstddef>
#include <vector>

// Files larger than this are not pictures the saver will try to hold in
// memory at once.
constexpr std::size_t kMaxImageFileBytes = std::size_t{1} << 30;

// The first up to `count` bytes of the file, fewer when it is shorter.
// False when the file cannot be opened or read.
bool readFileHead(const char* path, std::size_t count, std::vector<unsigned char>& out);

// The whole file. False when it cannot be opened or read, or when it is
// larger than `maxBytes` or memory for it is short.
bool readFileBytes(const char* path, std::size_t maxBytes, std::vector<unsigned char>& out);
