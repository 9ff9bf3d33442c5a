#include "display_test_support.h"

#include "settings/settings.h"

// Frames that must neither show through nor jump.

TEST_F(DisplayTest, EveryPixelStaysOpaqueThroughBlackFramesAndCrossFades) {
    // A small slide on a large margin: the texture's transparent edges and
    // the black around it are on screen in every frame.
    SettingsGuard::fixSlideshow(2.0f, 1.0f);
    theSettings.z0Mean = theSettings.z1Mean = -1.9f;
    watchAlpha_ = true;
    provider_.holdFrom(1);
    auto display = makeDisplay();
    ASSERT_TRUE(provider_.waitForCalls(1));
    display->renderFrame();
    EXPECT_TRUE(display->lastFrameCost().withoutSlide);
    EXPECT_EQ(leastAlpha_, 255) << "black frame";
    provider_.release();
    ASSERT_TRUE(showFirstSlide(*display));
    const double p = display->framePeriod();
    // Into the cross-fade, where both slides are blended at partial alpha.
    frameAfter(*display, static_cast<int>(std::lround(1.5 / p)) - 1);
    ASSERT_TRUE(provider_.waitForCalls(3));
    // Ten frames, a third of a second: still inside the fade.
    for (int frame = 0; frame < 10; ++frame) frameAfter(*display, 2);
    EXPECT_NE(display->incoming(), nullptr);
    EXPECT_EQ(leastAlpha_, 255);
}

TEST_F(DisplayTest, TimeWithTheMonitorOffIsNoMotion) {
    const struct { bool paused; double offSeconds; double mostPeriods; } cases[] = {
        // Back on after a minute: one period, as for any frame.
        {true, 60.0, 1.0},
        // A loop held for a minute without a pause (the machine slept):
        // two seconds at most.
        {false, 60.0, 120.0},
        {true, 0.5, 1.0},
    };
    for (const auto& c : cases) {
        SettingsGuard::fixSlideshow(100.0f, 1.0f);
        auto display = makeDisplay();
        ASSERT_TRUE(showFirstSlide(*display));
        const double p = display->framePeriod();
        frameAfter(*display, 1);
        const double before = display->current()->remaining;
        if (c.paused) display->pauseLoader(true);
        now_ += static_cast<std::uint32_t>(c.offSeconds * 1000.0);
        if (c.paused) display->pauseLoader(false);
        display->renderFrame();
        const double moved = before - display->current()->remaining;
        EXPECT_GE(moved, p - 1e-9) << c.offSeconds;
        EXPECT_LE(moved, c.mostPeriods * p + 1e-9) << c.offSeconds << (c.paused ? " paused" : "");
        // Frames after it count their time again.
        frameAfter(*display, 3);
        EXPECT_NEAR(before - moved - display->current()->remaining, 3 * p, 1e-9);
    }
}
