#include "platform/clock.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

TEST(MillisecondClock, AdvancesWithRealTime) {
    const TimerResolution resolution;
    const std::uint32_t start = millisecondClock();
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    // Unsigned difference, so a wrap of the 32-bit count between the reads
    // still measures right.
    const std::uint32_t elapsed = millisecondClock() - start;
    EXPECT_GE(elapsed, 25u);
    EXPECT_LT(elapsed, 60000u);
}

TEST(MillisecondClock, NeverRunsBackwards) {
    std::uint32_t previous = millisecondClock();
    for (int i = 0; i < 10000; ++i) {
        const std::uint32_t now = millisecondClock();
        EXPECT_LT(now - previous, 0x80000000u);
        previous = now;
    }
}

TEST(TimerResolution, BracketsNest) {
    const TimerResolution outer;
    { const TimerResolution inner; }
    SUCCEED();
}
