#pragma once
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

// What a HEIF item's coded stream says before it is decoded: how many
// pictures it holds and the size it codes, for HEVC (libde265) and AV1
// (dav1d). A stream these cannot read gives no answer, and is left to the
// decoder.

struct CodedSize {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
};

// Pictures in HEVC data of length-prefixed NAL units (`lengthBytes` 1-4):
// slices that start a picture.
std::size_t hevcPictureCount(const std::vector<unsigned char>& data, unsigned lengthBytes);

// The picture size that the first sequence parameter set in an hvcC
// property's arrays codes, after its conformance window.
std::optional<CodedSize> hevcCodedSize(const unsigned char* hvcC, std::size_t size);

// The NAL length field's size that an hvcC property gives (1-4), or 4.
unsigned hevcLengthBytes(const unsigned char* hvcC, std::size_t size);

// Frames in AV1 data (OBUs with size fields): frame and frame header OBUs.
std::size_t av1FrameCount(const std::vector<unsigned char>& data);

// The largest frame that the first sequence header OBU in `data` allows.
std::optional<CodedSize> av1CodedSize(const unsigned char* data, std::size_t size);
