#include "platform/clock.h"

#include <time.h>

std::uint32_t millisecondClock() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    // Truncated to 32 bits so it wraps exactly like timeGetTime.
    const std::uint64_t ms = static_cast<std::uint64_t>(now.tv_sec) * 1000u +
                             static_cast<std::uint64_t>(now.tv_nsec) / 1000000u;
    return static_cast<std::uint32_t>(ms);
}

// Linux timers are already fine-grained; there is nothing to bracket.
TimerResolution::TimerResolution() : active_(false) {}
TimerResolution::~TimerResolution() = default;
