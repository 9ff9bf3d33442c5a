#include "images/pass_state.h"

#include <algorithm>
#include <cstring>
#include <iterator>

namespace {

constexpr unsigned char kMagic[8] = {'G', 'L', 'M', 'P', 'A', 'S', 'S', '1'};
constexpr std::uint32_t kVersion = 1;
constexpr std::size_t kHeaderBytes = 8 + 4 + 4 + 8 + 8;
constexpr std::size_t kChecksumBytes = 8;

void put(std::vector<unsigned char>& out, std::uint64_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) out.push_back(static_cast<unsigned char>(value >> (8 * i)));
}

std::uint64_t get(const unsigned char* in, int bytes) {
    std::uint64_t value = 0;
    for (int i = 0; i < bytes; ++i) value |= static_cast<std::uint64_t>(in[i]) << (8 * i);
    return value;
}

}  // namespace

std::uint64_t hashBytes(std::span<const unsigned char> bytes, std::uint64_t seed) {
    std::uint64_t hash = seed;
    for (const unsigned char byte : bytes) {
        hash ^= byte;
        hash *= 0x100000001b3ull;
    }
    return hash;
}

std::uint64_t pathHash(const std::string& path) {
    return hashBytes({reinterpret_cast<const unsigned char*>(path.data()), path.size()});
}

std::uint64_t folderListHash(std::vector<std::string> directories) {
    std::sort(directories.begin(), directories.end());
    std::uint64_t hash = hashBytes({});
    for (const std::string& directory : directories) {
        // The terminating NUL keeps {"ab"} apart from {"a", "b"}.
        hash = hashBytes({reinterpret_cast<const unsigned char*>(directory.c_str()),
                          directory.size() + 1},
                         hash);
    }
    return hash;
}

std::vector<unsigned char> encodePassState(const PassState& state) {
    std::vector<unsigned char> out(std::begin(kMagic), std::end(kMagic));
    out.reserve(kHeaderBytes + state.shown.size() * 8 + kChecksumBytes);
    put(out, kVersion, 4);
    put(out, state.shown.size(), 4);
    put(out, state.folders, 8);
    put(out, state.pass, 8);
    for (const std::uint64_t hash : state.shown) put(out, hash, 8);
    put(out, hashBytes(out), 8);
    return out;
}

std::optional<PassState> decodePassState(std::span<const unsigned char> bytes) {
    if (bytes.size() < kHeaderBytes + kChecksumBytes) return std::nullopt;
    if (std::memcmp(bytes.data(), kMagic, sizeof kMagic) != 0) return std::nullopt;
    if (get(bytes.data() + 8, 4) != kVersion) return std::nullopt;
    const std::uint64_t count = get(bytes.data() + 12, 4);
    if (bytes.size() != kHeaderBytes + count * 8 + kChecksumBytes) return std::nullopt;
    const std::size_t body = bytes.size() - kChecksumBytes;
    if (hashBytes(bytes.first(body)) != get(bytes.data() + body, 8)) return std::nullopt;
    PassState state;
    state.folders = get(bytes.data() + 16, 8);
    state.pass = get(bytes.data() + 24, 8);
    state.shown.resize(static_cast<std::size_t>(count));
    const unsigned char* in = bytes.data() + kHeaderBytes;
    for (std::size_t i = 0; i < state.shown.size(); ++i, in += 8) state.shown[i] = get(in, 8);
    // Sorted order is part of the layout; a file that breaks it was not
    // written by the saver.
    for (std::size_t i = 1; i < state.shown.size(); ++i)
        if (state.shown[i - 1] >= state.shown[i]) return std::nullopt;
    return state;
}
