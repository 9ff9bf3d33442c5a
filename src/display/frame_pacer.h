#pragma once
#include <cstdint>

// Keeps frames to one per refresh period when the buffer swap does not.
// With working swap control every swap waits for the retrace and the pacer
// adds nothing. When swap control is missing, or frames keep arriving much
// faster than the refresh (a driver or X server that ignores the interval),
// it turns to waiting out the rest of each period itself, on a fixed
// schedule so that short and long waits average out to the period.
class FramePacer {
public:
    // Frames closer together than half a period, this many times in a row,
    // mean the swap is not waiting for the retrace.
    static constexpr int kFastFramesToPace = 8;

    FramePacer() = default;
    // `swapControl`: the context accepted a swap interval.
    FramePacer(double framePeriodSeconds, bool swapControl);

    // Called once per frame right after its swap with the millisecond clock;
    // returns how many milliseconds to wait before the next frame.
    std::uint32_t afterSwap(std::uint32_t nowMs);

    bool pacing() const { return pacing_; }

private:
    double periodMs_ = 1000.0 / 60.0;
    bool pacing_ = true;
    bool started_ = false;
    std::uint32_t lastMs_ = 0;
    int fastFrames_ = 0;
    double aheadMs_ = 0.0;  // the next frame's start, relative to lastMs_
};
