#pragma once
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

// What is kept of a pass between runs, and its bytes on disk. Pictures are
// known by a 64-bit hash of their path (eight bytes each, whatever the
// path's length: 100,000 pictures take 800 KB).
//
// Layout, little-endian: "GLMPASS1", u32 version (1), u32 count, u64 the
// folder list's hash, u64 the pass's id, `count` ascending u64 path hashes,
// and a u64 FNV-1a checksum of everything before it.
struct PassState {
    std::uint64_t folders = 0;  // folderListHash of the list the pass walks
    std::uint64_t pass = 0;     // drawn when the pass began
    std::vector<std::uint64_t> shown;  // ascending, no repeats
};

// FNV-1a, 64 bits.
std::uint64_t hashBytes(std::span<const unsigned char> bytes,
                        std::uint64_t seed = 0xcbf29ce484222325ull);
std::uint64_t pathHash(const std::string& path);
// The same for any order of the same folders.
std::uint64_t folderListHash(std::vector<std::string> directories);

std::vector<unsigned char> encodePassState(const PassState& state);
// Nothing for anything but a whole, undamaged state of this layout.
std::optional<PassState> decodePassState(std::span<const unsigned char> bytes);

// No real state is larger: 2^24 pictures.
inline constexpr std::size_t kLargestPassStateBytes = (std::size_t{1} << 27) + 40;
