#include "linux/frame_rate_meter.h"

#include <cstdio>

namespace {
constexpr std::uint32_t kPeriodMs = 1000;
}

std::optional<std::string> FrameRateMeter::frameDrawn(std::uint32_t nowMs) {
    if (!started_) {
        started_ = true;
        since_ = nowMs;
        frames_ = 0;
        return std::nullopt;
    }
    ++frames_;
    const std::uint32_t elapsed = nowMs - since_;
    if (elapsed < kPeriodMs) return std::nullopt;
    char line[64];
    std::snprintf(line, sizeof line, "glimmora: %.1f frames per second\n",
                  frames_ * 1000.0 / elapsed);
    since_ = nowMs;
    frames_ = 0;
    return std::string(line);
}
