#pragma once
#include <cstdint>

// Milliseconds on a monotonic clock, wrapping at 32 bits like timeGetTime.
std::uint32_t millisecondClock();

// Holds the system timer at 1 ms resolution for as long as it lives, so that
// sleeps and the millisecond clock are precise while the saver runs.
class TimerResolution {
public:
    TimerResolution();
    ~TimerResolution();
    TimerResolution(const TimerResolution&) = delete;
    TimerResolution& operator=(const TimerResolution&) = delete;

private:
    [[maybe_unused]] bool active_;  // only Windows has a period to end
};
