#pragma once
#include <cstdint>
#include <optional>
#include <string>

// The -fps line: frames counted over about a second of the millisecond
// clock, reported as "glimmora: 59.9 frames per second".
class FrameRateMeter {
public:
    // A frame has been drawn at `nowMs`; the line once a second has passed
    // since the last one (or since the first frame), else nothing. The
    // clock's 32-bit wrap is taken in its stride.
    std::optional<std::string> frameDrawn(std::uint32_t nowMs);

private:
    bool started_ = false;
    std::uint32_t since_ = 0;
    unsigned frames_ = 0;
};
