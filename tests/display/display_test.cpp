#include "display/gl_vsync.h"
#include "display/pixel_format_choice.h"
#include "loader/slide_loader.h"
#include "platform/debug_output.h"
#include "platform/window_surface.h"
#include "settings/settings.h"

#include "display_test_support.h"

#include <limits>
#include <string>
#include <thread>

using namespace std::chrono_literals;

TEST_F(DisplayTest, WholePeriodTimeStepsAcrossTheClockWrap) {
    SettingsGuard::fixSlideshow(100.0f, 1.0f);
    // 16, 33 and 34 ms, and 32 ms across 2^32, at 60 Hz.
    const struct { std::uint32_t elapsed; int periods; } steps[] = {
        {16, 1}, {33, 1}, {34, 2}, {32, 1}, {0, 1}, {100, 6}};
    now_ = 0u - 16u - 34u - 33u - 16u;
    auto display = makeDisplay();
    ASSERT_EQ(display->framePeriod(), 1.0 / 60.0);
    display->renderFrame();
    const double p = display->framePeriod();
    double expected = 100.0 - p;
    ASSERT_EQ(display->current()->remaining, expected);
    for (const auto& step : steps) {
        now_ += step.elapsed;
        display->renderFrame();
        expected -= step.periods * p;
        EXPECT_DOUBLE_EQ(display->current()->remaining, expected) << step.elapsed << " ms";
    }
}

TEST_F(DisplayTest, FirstFrameWaitsForTheLoaderWithoutCountingTheWait) {
    SettingsGuard::fixSlideshow(100.0f, 1.0f);
    provider_.holdFrom(1);
    auto display = makeDisplay();
    std::thread late([&] {
        ASSERT_TRUE(provider_.waitForCalls(1));
        std::this_thread::sleep_for(100ms);
        now_ = 5000;
        provider_.release();
    });
    display->renderFrame();
    late.join();
    ASSERT_NE(display->current(), nullptr);
    EXPECT_TRUE(display->lastFrameCost().waitedForLoader);
    now_ = 5016;
    display->renderFrame();
    EXPECT_FALSE(display->lastFrameCost().waitedForLoader);
    EXPECT_DOUBLE_EQ(display->current()->remaining, 100.0 - 2 * display->framePeriod());
}

TEST_F(DisplayTest, FadeLengthRaisesTheMeanDuration) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const struct { float seconds, fade, expectedSeconds, expectedFade; } cases[] = {
        {5.0f, 3.0f, 6.0f, 3.0f}, {7.0f, 3.0f, 7.0f, 3.0f}, {5.0f, nan, 5.0f, 0.0f}};
    for (const auto& c : cases) {
        SettingsGuard::fixSlideshow(c.seconds, c.fade);
        auto display = makeDisplay();
        display->renderFrame();
        EXPECT_EQ(display->fadeSeconds(), c.expectedFade);
        EXPECT_EQ(theSettings.secondsPerImage.load(), c.expectedSeconds);
    }
}

TEST_F(DisplayTest, CrossFadeBlendsBothSlidesThenHandsOver) {
    SettingsGuard::fixSlideshow(2.0f, 1.0f);
    auto display = makeDisplay();
    display->renderFrame();
    expectColour(centre_, {200, 0, 0});
    const double p = display->framePeriod();

    // To half the fade: T = 0.5 at the start of the next frame.
    frameAfter(*display, static_cast<int>(std::lround(1.5 / p)) - 1);
    expectColour(centre_, {200, 0, 0});
    ASSERT_TRUE(provider_.waitForCalls(3));  // picture 2 is queued
    const double t = display->current()->remaining;
    ASSERT_NEAR(t, 0.5, 1e-9);
    frameAfter(*display, 1);
    ASSERT_EQ(pictureOf(display->incoming()), 2);
    expectColour(centre_, {100, 100, 0});

    // Past the end: the old slide at alpha 0, the new one at 1.
    frameAfter(*display, 40);
    ASSERT_TRUE(provider_.waitForCalls(4));  // picture 3 is queued
    frameAfter(*display, 1);
    expectColour(centre_, {0, 200, 0});
    EXPECT_EQ(pictureOf(display->current()), 2);
    EXPECT_EQ(pictureOf(display->incoming()), 3);
}

TEST_F(DisplayTest, SlideIsHeldWhileNoSuccessorIsReady) {
    SettingsGuard::fixSlideshow(2.0f, 1.0f);
    provider_.holdFrom(2);
    auto display = makeDisplay();
    display->renderFrame();
    const double p = display->framePeriod();
    frameAfter(*display, static_cast<int>(std::lround(1.5 / p)) - 1);
    const double held = display->current()->remaining;
    for (int frame = 0; frame < 3; ++frame) {
        frameAfter(*display, 10);
        EXPECT_EQ(display->current()->remaining, held);
        EXPECT_EQ(display->incoming(), nullptr);
        EXPECT_TRUE(display->lastFrameCost().heldForSuccessor);
        expectColour(centre_, {200, 0, 0});
    }
    provider_.release();
    ASSERT_TRUE(provider_.waitForCalls(3));
    frameAfter(*display, 10);
    // The fade starts where it was held.
    expectColour(centre_, {100, 100, 0});
}

TEST_F(DisplayTest, FadeOfZeroIsAHardCut) {
    SettingsGuard::fixSlideshow(0.5f, 0.0f);
    auto display = makeDisplay();
    display->renderFrame();
    for (int frame = 0; frame < 200 && pictureOf(display->current()) < 4; ++frame) {
        ASSERT_TRUE(provider_.waitForCalls(pictureOf(display->current()) + 2));
        frameAfter(*display, 5);
        const bool red = centre_ == Rgb{200, 0, 0};
        const bool green = centre_ == Rgb{0, 200, 0};
        EXPECT_TRUE(red || green) << centre_[0] << "," << centre_[1] << "," << centre_[2];
    }
    EXPECT_GE(pictureOf(display->current()), 4);
    EXPECT_EQ(theSettings.secondsPerImage.load(), 0.5f);
}

TEST_F(DisplayTest, GLErrorHandsOverEarlyAndIsReported) {
    SettingsGuard::fixSlideshow(100.0f, 1.0f);
    auto display = makeDisplay();
    display->renderFrame();
    ASSERT_TRUE(provider_.waitForCalls(3));  // picture 2 is queued
    DebugOutputCapture capture;
    glEnable(0xDEAD);  // GL_INVALID_ENUM, in the display's current context
    frameAfter(*display, 1);
    const std::string text = reinterpret_cast<const char*>(gluErrorString(GL_INVALID_ENUM));
    EXPECT_EQ(capture.text(), "Glimmora.scr: OpenGL Error -- " + text + "\n");
    // The old incoming (none) became current; the next frame takes another.
    EXPECT_EQ(display->current(), nullptr);
    EXPECT_EQ(pictureOf(display->incoming()), 2);
    frameAfter(*display, 1);
    EXPECT_EQ(pictureOf(display->current()), 3);
}

TEST_F(DisplayTest, ConsecutiveDisplaysStartInOppositeDirections) {
    SettingsGuard::fixSlideshow(100.0f, 1.0f);
    auto first = makeDisplay();
    auto second = makeDisplay();
    first->renderFrame();
    second->renderFrame();
    EXPECT_NE(first->current()->velocity[0] < 0.0, second->current()->velocity[0] < 0.0);
}

TEST_F(DisplayTest, FastLoopIsPacedToTheRefresh) {
    SettingsGuard::fixSlideshow(100.0f, 1.0f);
    auto display = makeDisplay();
    // A clock that never moves: the swap is not waiting for any retrace.
    for (int frame = 0; frame < 20; ++frame) display->renderFrame();
    EXPECT_TRUE(display->pacedByWait());
    ASSERT_FALSE(waits_.empty());
    EXPECT_GE(waits_.back(), 16u);
}

TEST_F(DisplayTest, RefusedWindowStaysBlackAndOthersGoOn) {
    SettingsGuard::fixSlideshow(100.0f, 1.0f);
    PlainWindow empty(0, 0);
    DisplayHooks hooks;
    hooks.clock = [this] { return now_.load(); };
    hooks.sleep = [this](std::uint32_t ms) { waits_.push_back(ms); };
    Display refused(nullptr, &provider_, hooks);
    Display noSurface(empty.handle(), &provider_, hooks);
    EXPECT_FALSE(refused.hasContext());
    auto good = makeDisplay();
    for (int frame = 0; frame < 3; ++frame) {
        refused.renderFrame();
        noSurface.renderFrame();
        frameAfter(*good, 1);
    }
    // A picture, whichever: a zero-sized window still gets a loader on Windows.
    EXPECT_TRUE(centre_ == (Rgb{200, 0, 0}) || centre_ == (Rgb{0, 200, 0}))
        << centre_[0] << "," << centre_[1] << "," << centre_[2];
    // Even a display with nothing to draw does not spin.
    EXPECT_FALSE(waits_.empty());
}

TEST_F(DisplayTest, TeardownWaitsForALoaderStuckPastTheBound) {
    SettingsGuard::fixSlideshow(100.0f, 1.0f);
    provider_.holdFrom(3);
    auto display = makeDisplay(20ms);
    display->renderFrame();
    ASSERT_TRUE(provider_.waitForCalls(3));
    display->requestLoaderStop();
    EXPECT_FALSE(display->waitForLoader(20ms));
    std::thread late([&] {
        std::this_thread::sleep_for(300ms);
        provider_.release();
    });
    const auto begin = std::chrono::steady_clock::now();
    display.reset();
    // It waited for the decode instead of freeing what the thread uses.
    EXPECT_GE(std::chrono::steady_clock::now() - begin, 200ms);
    late.join();
}

#ifdef _WIN32
TEST_F(DisplayTest, WindowGetsTheBestFormatSwapIntervalAndRefreshPeriod) {
    auto display = makeDisplay();
    ASSERT_TRUE(display->hasContext());
    WindowSurface probe(window_.handle());
    const auto formats = probe.pixelFormats();
    ASSERT_FALSE(formats.empty());
    int best = 0;
    for (const auto& f : formats) best = std::max(best, pixelFormatScore(f));
    ASSERT_GT(probe.pixelFormat(), 0);
    EXPECT_EQ(pixelFormatScore(formats[probe.pixelFormat() - 1]), best);

    GLVSync vsync;  // on the display's context, current since construction
    if (vsync.init()) {
        EXPECT_TRUE(vsync.isEnabled());
    }
    if (probe.refreshHz() <= 1) {
        EXPECT_EQ(display->framePeriod(), 1.0 / 60.0);
    }
}
#endif
