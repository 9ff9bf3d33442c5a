#include "display/frame_pacer.h"
#include "display/gl_vsync.h"
#include "display/pixel_format_choice.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

PixelFormatDescription format(int colour, int depth, bool generic = false,
                              bool accelerated = false) {
    PixelFormatDescription f;
    f.supportsOpenGL = f.drawsToWindow = f.doubleBuffered = f.rgba = true;
    f.colorBits = colour;
    f.depthBits = depth;
    f.generic = generic;
    f.genericAccelerated = accelerated;
    return f;
}

}  // namespace

TEST(PixelFormatScore, TypicalFormats) {
    const struct { PixelFormatDescription f; int score; } cases[] = {
        {format(32, 24), 2072},
        {format(24, 16), 2052},
        {format(16, 16), 2048},
        {format(32, 24, true, true), 1072},
        {format(32, 32, true), 88},
        {format(17, 0, true), 17},  // (16 - 17) / 2 truncates to 0
    };
    for (const auto& c : cases) EXPECT_EQ(pixelFormatScore(c.f), c.score);

    auto single = format(32, 24);
    single.doubleBuffered = false;
    auto indexed = format(8, 16);
    indexed.rgba = false;
    auto noGL = format(32, 24);
    noGL.supportsOpenGL = false;
    auto bitmap = format(32, 24);
    bitmap.drawsToWindow = false;
    for (const auto& f : {single, indexed, noGL, bitmap}) EXPECT_EQ(pixelFormatScore(f), 0);
}

TEST(PixelFormatChoice, HighestScoreLowestIndexAndNoneAtAll) {
    const std::vector<PixelFormatDescription> mixed = {
        format(32, 32, true), format(16, 16), format(32, 24), format(32, 24)};
    EXPECT_EQ(bestPixelFormat(mixed), 3);
    // Only generic unaccelerated formats: still the best of them.
    const std::vector<PixelFormatDescription> generic = {format(16, 16, true),
                                                         format(32, 32, true)};
    EXPECT_EQ(bestPixelFormat(generic), 2);
    auto single = format(32, 24);
    single.doubleBuffered = false;
    EXPECT_EQ(bestPixelFormat(std::vector{single}), 0);
    EXPECT_EQ(bestPixelFormat({}), 0);
}

namespace {

int lastInterval = -1;
int setInterval(int interval) {
    lastInterval = interval;
    return 1;
}
int getInterval() { return lastInterval; }

}  // namespace

TEST(GLVSync, EntryPointsDecideSupport) {
    const struct { SwapControlEntryPoints found; bool supported, enabled; } cases[] = {
        {{setInterval, getInterval}, true, true},
        {{nullptr, getInterval}, false, false},  // announced, but nothing to call
        {{setInterval, nullptr}, true, false},   // set, but cannot be read back
        {{}, false, false},
    };
    for (const auto& c : cases) {
        lastInterval = -1;
        GLVSync vsync([&] { return c.found; });
        EXPECT_EQ(vsync.init(), c.supported);
        vsync.enable();
        EXPECT_EQ(lastInterval, c.supported ? 1 : -1);
        EXPECT_EQ(vsync.isEnabled(), c.enabled);
        vsync.disable();
        EXPECT_EQ(vsync.isDisabled(), c.enabled);
    }
}

namespace {

// Runs `frames` frames that each take `workMs` plus the pacer's wait;
// returns the waits.
std::vector<std::uint32_t> run(FramePacer& pacer, int frames, std::uint32_t workMs,
                               std::uint32_t& now) {
    std::vector<std::uint32_t> waits;
    for (int i = 0; i < frames; ++i) {
        now += workMs;
        waits.push_back(pacer.afterSwap(now));
        now += waits.back();
    }
    return waits;
}

}  // namespace

TEST(FramePacer, WorkingSwapControlGetsNoWait) {
    FramePacer pacer(1.0 / 60.0, true);
    std::uint32_t now = 0u - 100u;  // across the wrap
    for (std::uint32_t wait : run(pacer, 120, 17, now)) EXPECT_EQ(wait, 0u);
    EXPECT_FALSE(pacer.pacing());
}

TEST(FramePacer, FastOrUncontrolledLoopsKeepToThePeriod) {
    for (bool swapControl : {true, false}) {
        FramePacer pacer(1.0 / 60.0, swapControl);
        std::uint32_t now = 1000;
        const auto warmUp = run(pacer, FramePacer::kFastFramesToPace + 1, 1, now);
        EXPECT_TRUE(pacer.pacing());
        const std::uint32_t start = now;
        run(pacer, 600, 1, now);
        // 600 frames take ten seconds, within a frame.
        EXPECT_NEAR(static_cast<double>(now - start), 10000.0, 17.0) << swapControl;
    }
}

TEST(FramePacer, LateFrameStartsANewScheduleInsteadOfRushing) {
    FramePacer pacer(1.0 / 60.0, false);
    std::uint32_t now = 0;
    run(pacer, 10, 2, now);
    now += 200;
    EXPECT_EQ(pacer.afterSwap(now), 0u);
    const auto after = run(pacer, 5, 2, now);
    for (std::uint32_t wait : after) EXPECT_GE(wait, 14u);
}

TEST(FramePacer, WaitsCutShortNeverPileUpIntoAStall) {
    FramePacer pacer(1.0 / 60.0, false);
    std::uint32_t now = 0;
    run(pacer, 10, 2, now);
    // Two seconds of mouse jitter: every wait ends after 5 ms, whatever the
    // pacer asked for.
    for (int i = 0; i < 400; ++i) {
        now += 1;
        const std::uint32_t wait = pacer.afterSwap(now);
        EXPECT_LE(wait, 17u) << "frame " << i;
        now += 4;
    }
    // Then the waits run out again: the frames keep to the period at once.
    const auto after = run(pacer, 5, 2, now);
    for (std::uint32_t wait : after) EXPECT_LE(wait, 17u);
}
