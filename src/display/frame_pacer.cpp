#include "display/frame_pacer.h"

#include <cmath>

FramePacer::FramePacer(double framePeriodSeconds, bool swapControl)
    : periodMs_(framePeriodSeconds * 1000.0), pacing_(!swapControl) {}

std::uint32_t FramePacer::afterSwap(std::uint32_t nowMs) {
    if (!started_) {
        started_ = true;
        lastMs_ = nowMs;
        aheadMs_ = pacing_ ? periodMs_ : 0.0;
        return pacing_ ? static_cast<std::uint32_t>(std::ceil(aheadMs_)) : 0;
    }
    // Unsigned difference: right across the clock's wrap.
    const std::uint32_t elapsed = nowMs - lastMs_;
    lastMs_ = nowMs;
    if (!pacing_) {
        fastFrames_ = elapsed < periodMs_ / 2.0 ? fastFrames_ + 1 : 0;
        if (fastFrames_ < kFastFramesToPace) return 0;
        pacing_ = true;
        aheadMs_ = 0.0;
    }
    aheadMs_ += periodMs_ - static_cast<double>(elapsed);
    // A frame more than a period late starts a new schedule rather than
    // rushing the next ones to catch up.
    if (aheadMs_ < -periodMs_) aheadMs_ = 0.0;
    // A wait cut short (a message woke the loop) leaves the frame early, and
    // the next one would owe that time as well; owed time never adds up
    // beyond one period, or a burst of input would stall the frames after it.
    if (aheadMs_ > periodMs_) aheadMs_ = periodMs_;
    return aheadMs_ > 0.0 ? static_cast<std::uint32_t>(std::ceil(aheadMs_)) : 0;
}
