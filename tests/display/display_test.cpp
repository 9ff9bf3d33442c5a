#include "display/gl_vsync.h"
#include "display/pixel_format_choice.h"
#include "loader/slide_loader.h"
#include "platform/cpu_time.h"
#include "platform/debug_output.h"
#include "platform/window_surface.h"
#include "settings/settings.h"

#include "display_test_support.h"

#include <limits>
#include <string>
#include <vector>
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
    ASSERT_TRUE(showFirstSlide(*display));
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

TEST_F(DisplayTest, BlackUntilTheFirstSlideWithoutCountingTheWait) {
    SettingsGuard::fixSlideshow(100.0f, 1.0f);
    provider_.holdFrom(1);
    auto display = makeDisplay();
    ASSERT_TRUE(provider_.waitForCalls(1));
    // However long the decode takes, every frame comes back at once, black,
    // after one paced wait.
    for (int frame = 0; frame < 5; ++frame) {
        waits_.clear();
        const auto begin = std::chrono::steady_clock::now();
        display->renderFrame();
        EXPECT_LT(std::chrono::steady_clock::now() - begin, 1s);
        EXPECT_EQ(display->current(), nullptr);
        EXPECT_TRUE(display->lastFrameCost().withoutSlide);
        expectColour(centre_, {0, 0, 0});
        now_ += 1000;
    }
    provider_.release();
    ASSERT_TRUE(showFirstSlide(*display));
    EXPECT_FALSE(display->lastFrameCost().withoutSlide);
    expectColour(centre_, {200, 0, 0});
    // Time starts at the frame that took the slide: one period, not 5 s.
    EXPECT_DOUBLE_EQ(display->current()->remaining, 100.0 - display->framePeriod());
    now_ += 16;
    display->renderFrame();
    EXPECT_DOUBLE_EQ(display->current()->remaining, 100.0 - 2 * display->framePeriod());
}

TEST_F(DisplayTest, DecodeThatNeverReturnsNeverHoldsAFrameOrTheTeardown) {
    SettingsGuard::fixSlideshow(100.0f, 1.0f);
    provider_.holdFrom(1);
    constexpr auto bound = 300ms;
    auto display = makeDisplay(bound);
    ASSERT_TRUE(provider_.waitForCalls(1));
    const std::size_t before = left_behind::count();
    int paced = 0;
    for (int frame = 0; frame < 20; ++frame) {
        const auto begin = std::chrono::steady_clock::now();
        waits_.clear();
        display->renderFrame();
        EXPECT_LT(std::chrono::steady_clock::now() - begin, 1s);
        // Paced like any frame, by one period at most (recorded, and slept
        // on the scripted clock).
        for (std::uint32_t wait : waits_) {
            EXPECT_LE(wait, 17u);
            now_ += wait;
            ++paced;
        }
    }
    EXPECT_GT(paced, 0);
    DebugOutputCapture capture;
    const auto begin = std::chrono::steady_clock::now();
    display->requestLoaderStop();
    display.reset();
    EXPECT_LT(std::chrono::steady_clock::now() - begin, bound + 1s);
    EXPECT_EQ(capture.text().rfind("thread stop Failed: ", 0), 0u) << capture.text();
    EXPECT_EQ(left_behind::count(), before + 1);
    // Released, the thread finds everything it uses still there (the
    // sanitizers would see a use of freed memory) and ends.
    provider_.release();
    EXPECT_TRUE(left_behind::waitUntilAllEnded(20s));
    EXPECT_EQ(provider_.calls(), 1);
}

TEST_F(DisplayTest, FadeLengthRaisesTheMeanDuration) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const struct { float seconds, fade, expectedSeconds, expectedFade; } cases[] = {
        {5.0f, 3.0f, 6.0f, 3.0f}, {7.0f, 3.0f, 7.0f, 3.0f}, {5.0f, nan, 5.0f, 0.0f}};
    for (const auto& c : cases) {
        SettingsGuard::fixSlideshow(c.seconds, c.fade);
        auto display = makeDisplay();
        ASSERT_TRUE(showFirstSlide(*display));
        EXPECT_EQ(display->fadeSeconds(), c.expectedFade);
        EXPECT_EQ(theSettings.secondsPerImage.load(), c.expectedSeconds);
    }
}

TEST_F(DisplayTest, CrossFadeBlendsBothSlidesThenHandsOver) {
    SettingsGuard::fixSlideshow(2.0f, 1.0f);
    auto display = makeDisplay();
    ASSERT_TRUE(showFirstSlide(*display));
    expectColour(centre_, {200, 0, 0});
    const double p = display->framePeriod();
    // A picture counts as shown once drawn, not once queued.
    using Files = std::vector<std::string>;
    EXPECT_EQ(provider_.shown(), Files{"picture-1"});

    // To half the fade: T = 0.5 at the start of the next frame.
    frameAfter(*display, static_cast<int>(std::lround(1.5 / p)) - 1);
    expectColour(centre_, {200, 0, 0});
    ASSERT_TRUE(provider_.waitForCalls(3));  // picture 2 is queued
    EXPECT_EQ(provider_.shown(), Files{"picture-1"});
    const double t = display->current()->remaining;
    ASSERT_NEAR(t, 0.5, 1e-9);
    frameAfter(*display, 1);
    ASSERT_EQ(pictureOf(display->incoming()), 2);
    expectColour(centre_, {100, 100, 0});
    EXPECT_EQ(provider_.shown(), (Files{"picture-1", "picture-2"}));

    // Past the end: the old slide at alpha 0, the new one at 1.
    frameAfter(*display, 40);
    ASSERT_TRUE(provider_.waitForCalls(4));  // picture 3 is queued
    frameAfter(*display, 1);
    expectColour(centre_, {0, 200, 0});
    EXPECT_EQ(pictureOf(display->current()), 2);
    EXPECT_EQ(pictureOf(display->incoming()), 3);
    EXPECT_EQ(provider_.shown(), (Files{"picture-1", "picture-2"}));
}

TEST_F(DisplayTest, SlideIsHeldWhileNoSuccessorIsReady) {
    SettingsGuard::fixSlideshow(2.0f, 1.0f);
    provider_.holdFrom(2);
    auto display = makeDisplay();
    ASSERT_TRUE(showFirstSlide(*display));
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
    ASSERT_TRUE(showFirstSlide(*display));
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
    ASSERT_TRUE(showFirstSlide(*display));
    ASSERT_TRUE(provider_.waitForCalls(3));  // picture 2 is queued
    DebugOutputCapture capture;
    glEnable(0xDEAD);  // GL_INVALID_ENUM, in the display's current context
    frameAfter(*display, 1);
    const std::string text = reinterpret_cast<const char*>(gluErrorString(GL_INVALID_ENUM));
    EXPECT_EQ(capture.text(), "Glimmora.scr: OpenGL Error -- " + text + "\n");
    // No slide was fading in: the one delivered next is on screen at once.
    EXPECT_EQ(pictureOf(display->current()), 2);
    EXPECT_EQ(display->incoming(), nullptr);
    frameAfter(*display, 1);
    EXPECT_FALSE(display->lastFrameCost().withoutSlide);
    EXPECT_EQ(pictureOf(display->current()), 2);
}

TEST_F(DisplayTest, GLErrorsWithoutAReadySuccessorKeepTheSlideAndPromoteInOrder) {
    SettingsGuard::fixSlideshow(100.0f, 1.0f);
    provider_.holdFrom(2);
    auto display = makeDisplay();
    ASSERT_TRUE(showFirstSlide(*display));
    ASSERT_TRUE(provider_.waitForCalls(2));
    // Nothing ready: the erring slide stays on screen, the hand-over is
    // tried again every frame.
    for (int frame = 0; frame < 3; ++frame) {
        glEnable(0xDEAD);
        frameAfter(*display, 1);
        EXPECT_EQ(pictureOf(display->current()), 1);
        expectColour(centre_, {200, 0, 0});
    }
    provider_.release();
    std::vector<int> shown{1};
    const auto giveUp = std::chrono::steady_clock::now() + 20s;
    while (shown.back() < 3 && std::chrono::steady_clock::now() < giveUp) {
        glEnable(0xDEAD);
        frameAfter(*display, 1);
        const int now = pictureOf(display->current());
        if (now != shown.back()) shown.push_back(now);
        EXPECT_EQ(display->incoming(), nullptr);
        std::this_thread::sleep_for(1ms);
    }
    EXPECT_EQ(shown, (std::vector<int>{1, 2, 3}));
}

TEST_F(DisplayTest, ProviderThatAlwaysFailsCostsLittleAndTheDisplayAnswers) {
    SettingsGuard::fixSlideshow(100.0f, 1.0f);
    provider_.failCalls(1, 1 << 30);
    // The real clock and real waits: the frames' own processor time counts.
    Display display(window_.handle(), &provider_);
    const auto cpuBefore = processCpuTime();
    const auto begin = std::chrono::steady_clock::now();
    int frames = 0;
    while (std::chrono::steady_clock::now() - begin < 5s) {
        const auto frameBegin = std::chrono::steady_clock::now();
        display.renderFrame();
        ++frames;
        ASSERT_LT(std::chrono::steady_clock::now() - frameBegin, 1s);
        EXPECT_EQ(display.current(), nullptr);
    }
    const auto cpu = processCpuTime() - cpuBefore;
    const auto wall = std::chrono::steady_clock::now() - begin;
    // Under a tenth of one core, frames included; a loader decoding at full
    // speed would take all of it.
    EXPECT_LT(cpu * 10, wall) << std::chrono::duration_cast<std::chrono::milliseconds>(cpu).count()
                              << " ms of processor time";
    // The pauses grow: a handful of attempts, not thousands.
    EXPECT_LT(provider_.calls(), 20);
    EXPECT_GT(frames, 10);
}

TEST_F(DisplayTest, ConsecutiveDisplaysStartInOppositeDirections) {
    SettingsGuard::fixSlideshow(100.0f, 1.0f);
    auto first = makeDisplay();
    auto second = makeDisplay();
    ASSERT_TRUE(showFirstSlide(*first));
    ASSERT_TRUE(showFirstSlide(*second));
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
    ASSERT_TRUE(showFirstSlide(*good));
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

TEST_F(DisplayTest, TeardownWaitsForAnUploadButNotPastTheBound) {
    SettingsGuard::fixSlideshow(100.0f, 1.0f);
    auto display = makeDisplay(5s);
    ASSERT_TRUE(showFirstSlide(*display));
    ASSERT_TRUE(provider_.waitForCalls(3));
    // Idle once both slides are queued: a loader still inside the provider
    // would be left, as it should, and this case is about an idle one.
    const auto giveUp = std::chrono::steady_clock::now() + 20s;
    while (display->queuedSlides() < 2 && std::chrono::steady_clock::now() < giveUp)
        std::this_thread::sleep_for(1ms);
    ASSERT_EQ(display->queuedSlides(), 2);
    const std::size_t before = left_behind::count();
    DebugOutputCapture capture;
    display->requestLoaderStop();
    display.reset();
    // An idle loader ends within its poll: freed, not left behind.
    EXPECT_EQ(left_behind::count(), before);
    EXPECT_EQ(capture.text(), "");
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
