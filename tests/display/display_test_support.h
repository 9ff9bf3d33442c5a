#pragma once
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cmath>
#include <cstdint>
#include <chrono>
#include <memory>
#include <thread>
#include <vector>

#include "display/display.h"
#include "loader/left_behind.h"
#include "platform/gl.h"
#include "platform/plain_window.h"
#include "slides/slide.h"
#include "support/scripted_provider.h"
#include "support/settings_guard.h"

// A Display on a 64x48 window with a scripted clock, waits recorded instead
// of slept, and the centre pixel of every frame read back before its swap.
// Odd pictures are red, even ones green.
class DisplayTest : public ::testing::Test {
protected:
    static constexpr int kWidth = 64;
    static constexpr int kHeight = 48;
    using Rgb = std::array<int, 3>;

    DisplayTest()
        : provider_([](int n) {
              return n % 2 ? std::array<unsigned char, 3>{200, 0, 0}
                           : std::array<unsigned char, 3>{0, 200, 0};
          }) {}
    // A test that left a loader behind lets it go before the provider does.
    ~DisplayTest() override {
        provider_.release();
        EXPECT_TRUE(left_behind::waitUntilAllEnded(std::chrono::seconds(20)));
    }

    std::unique_ptr<Display> makeDisplay(std::chrono::milliseconds stopBound = std::chrono::seconds(10)) {
        DisplayHooks hooks;
        hooks.clock = [this] { return now_.load(); };
        hooks.sleep = [this](std::uint32_t ms) { waits_.push_back(ms); };
        hooks.beforeSwap = [this] {
            centre_ = readCentre();
            if (watchAlpha_) leastAlpha_ = std::min(leastAlpha_, readLeastAlpha());
        };
        hooks.loaderStopBound = stopBound;
        return std::make_unique<Display>(window_.handle(), &provider_, hooks);
    }

    // Renders (black) frames until the first slide is on screen, without
    // moving the scripted clock; false when none came within 20 s.
    static bool showFirstSlide(Display& display) {
        const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (!display.current() && std::chrono::steady_clock::now() < giveUp) {
            display.renderFrame();
            if (!display.current()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return display.current() != nullptr;
    }

    // Moves the scripted clock on by `periods` refresh periods and half one,
    // then renders a frame.
    void frameAfter(Display& display, int periods) {
        const double ms = (periods + 0.5) * display.framePeriod() * 1000.0;
        now_ += static_cast<std::uint32_t>(ms);
        display.renderFrame();
    }

    static Rgb readCentre() {
        unsigned char p[4] = {0, 0, 0, 0};
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glReadBuffer(GL_BACK);
        glReadPixels(kWidth / 2, kHeight / 2, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, p);
        return {p[0], p[1], p[2]};
    }

    // The lowest alpha of a few pixels of the frame: the corners, the centre
    // and halfway out from it (a whole frame read back on every frame costs
    // much, and under ThreadSanitizer trips over the renderer's own threads).
    static int readLeastAlpha() {
        const int spots[][2] = {{0, 0}, {kWidth - 1, kHeight - 1}, {kWidth / 2, kHeight / 2},
                                {kWidth / 4, kHeight / 2}, {kWidth / 2, kHeight / 4}};
        int least = 255;
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glReadBuffer(GL_BACK);
        for (const auto& spot : spots) {
            unsigned char p[4] = {0, 0, 0, 0};
            glReadPixels(spot[0], spot[1], 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, p);
            least = std::min<int>(least, p[3]);
        }
        return least;
    }

    static int pictureOf(const Slide* slide) {
        return slide && slide->texture ? ScriptedProvider::pictureOf(slide->texture->aspect()) : 0;
    }

    static void expectColour(const Rgb& actual, const Rgb& expected) {
        for (int k = 0; k < 3; ++k) EXPECT_NEAR(actual[k], expected[k], 3) << "channel " << k;
    }

    SettingsGuard settings_;
    PlainWindow window_{kWidth, kHeight, 60};
    ScriptedProvider provider_;
    std::atomic<std::uint32_t> now_{1000};
    std::vector<std::uint32_t> waits_;
    Rgb centre_{-1, -1, -1};
    bool watchAlpha_ = false;  // reads leastAlpha_ from every frame drawn
    int leastAlpha_ = 255;
};
