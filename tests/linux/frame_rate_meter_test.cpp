#include "linux/frame_rate_meter.h"

#include <gtest/gtest.h>

TEST(FrameRateMeter, OneLineASecondWithTheFramesOfThatSecond) {
    FrameRateMeter meter;
    // The first frame starts the count.
    EXPECT_FALSE(meter.frameDrawn(5000));
    for (std::uint32_t t = 5016; t < 6000; t += 16) EXPECT_FALSE(meter.frameDrawn(t)) << t;
    // 63 frames in 1008 ms.
    EXPECT_EQ(meter.frameDrawn(6008).value_or(""), "glimmora: 62.5 frames per second\n");
    // The next second counts afresh.
    EXPECT_FALSE(meter.frameDrawn(6500));
    EXPECT_EQ(meter.frameDrawn(7008).value_or(""), "glimmora: 2.0 frames per second\n");
}

TEST(FrameRateMeter, TheClocksWrapIsNoLongPause) {
    FrameRateMeter meter;
    EXPECT_FALSE(meter.frameDrawn(0xFFFFFF00u));
    EXPECT_FALSE(meter.frameDrawn(0x00000010u));  // 272 ms later
    EXPECT_EQ(meter.frameDrawn(0x00000300u).value_or(""), "glimmora: 2.0 frames per second\n");
}
