// What the saver does when the system changes under it: monitors that move,
// appear or go, activation that moves to another application, and the
// console display turning off and on.
#include "shell/display_state.h"
#include "shell_test_fixture.h"

namespace {

using Mode = ShellTest::Mode;

HWND windowNumber(int n) { return reinterpret_cast<HWND>(static_cast<std::uintptr_t>(0x100 + n)); }

class DisplayChange : public ShellTest {
protected:
    // Three monitors, a window on each, all created.
    void startOnThreeMonitors() {
        theSettings.multimon = true;
        platform_.monitors = {{RECT{0, 0, 800, 600}, true},
                              {RECT{800, 0, 1824, 768}, false},
                              {RECT{-640, 0, 0, 480}, false}};
        ASSERT_FALSE(shell_->openSaverWindows(nullptr).has_value());
        for (int i = 1; i <= 3; ++i) send(windowNumber(i), WM_CREATE);
        ASSERT_EQ(shell_->displayCount(), 3u);
    }
};

TEST_F(DisplayChange, WindowsFollowTheirMonitorsAndOneWhoseMonitorWentIsRetired) {
    startOnThreeMonitors();
    // A game restored its mode: the primary monitor is larger now; the
    // left one was unplugged.
    platform_.monitors[0].rect = RECT{0, 0, 1280, 1024};
    platform_.monitors[1].rect = RECT{1280, 0, 2304, 768};
    platform_.monitors.pop_back();
    platform_.windowMonitors = {{windowNumber(1), 0}, {windowNumber(2), 1}};
    // The system's destruction message for the retired window comes while
    // it is destroyed: it ends only that window's Display, not the run.
    platform_.duringDestroy = [this](HWND window) { send(window, WM_DESTROY); };
    send(windowNumber(1), WM_DISPLAYCHANGE, 32, MAKELPARAM(1280, 1024));

    ASSERT_EQ(platform_.moves.size(), 2u);
    EXPECT_EQ(platform_.moves[0].first, windowNumber(1));
    EXPECT_EQ(platform_.moves[0].second.right, 1280);
    EXPECT_EQ(platform_.moves[0].second.bottom, 1024);
    EXPECT_EQ(platform_.moves[1].first, windowNumber(2));
    EXPECT_EQ(platform_.moves[1].second.left, 1280);
    EXPECT_EQ(platform_.displays.fitted, (std::vector<HWND>{windowNumber(1), windowNumber(2)}));
    EXPECT_EQ(platform_.destroyedWindows, std::vector<HWND>{windowNumber(3)});
    EXPECT_EQ(platform_.displays.destroyOrder, std::vector<HWND>{windowNumber(3)});
    EXPECT_EQ(platform_.displays.stopRequests, 1);
    EXPECT_EQ(platform_.quitPosts, 0);
    EXPECT_EQ(shell_->displayCount(), 2u);
    EXPECT_TRUE(shell_->hasProvider());
    shell_->renderAllDisplays();
    EXPECT_EQ(platform_.displays.frames, 2);
}

TEST_F(DisplayChange, TheLastWindowStaysWhateverItCovers) {
    startOnThreeMonitors();
    platform_.monitors.clear();  // every monitor gone at once
    platform_.windowMonitors = {};
    platform_.duringDestroy = [this](HWND window) { send(window, WM_DESTROY); };
    send(windowNumber(2), WM_DISPLAYCHANGE);
    // Two are retired, the last one is kept and left where it was.
    EXPECT_EQ(platform_.destroyedWindows, (std::vector<HWND>{windowNumber(1), windowNumber(2)}));
    EXPECT_EQ(shell_->displayCount(), 1u);
    EXPECT_TRUE(platform_.moves.empty());
    // The primary window was retired: another one is the primary now, and
    // takes the display state notices, each time.
    EXPECT_EQ(shell_->primaryWindow(), windowNumber(3));
    EXPECT_EQ(platform_.notificationWindows,
              (std::vector<HWND>{windowNumber(1), windowNumber(2), windowNumber(3)}));
    EXPECT_EQ(platform_.notificationUnregistrations, 2);
    EXPECT_EQ(platform_.quitPosts, 0);
}

// Monitors swapped places: the right one is on the left now, and both
// windows are mostly on the primary. One keeps it, the other takes the
// monitor that no window covers; none is destroyed.
TEST_F(DisplayChange, WindowsThatMeetOnOneMonitorShareOutTheUncoveredOnes) {
    startOnThreeMonitors();
    platform_.monitors[1].rect = RECT{-1024, 0, 0, 768};
    platform_.monitors[2].rect = RECT{800, 0, 1440, 480};
    platform_.windowMonitors = {{windowNumber(1), 0}, {windowNumber(2), 0}, {windowNumber(3), 2}};
    send(windowNumber(1), WM_DISPLAYCHANGE);
    ASSERT_EQ(platform_.moves.size(), 3u);
    EXPECT_EQ(platform_.moves[0].first, windowNumber(1));
    EXPECT_EQ(platform_.moves[0].second.right, 800);
    EXPECT_EQ(platform_.moves[1].first, windowNumber(3));
    EXPECT_EQ(platform_.moves[1].second.left, 800);
    EXPECT_EQ(platform_.moves[2].first, windowNumber(2));
    EXPECT_EQ(platform_.moves[2].second.left, -1024);
    EXPECT_TRUE(platform_.destroyedWindows.empty());
    EXPECT_EQ(shell_->displayCount(), 3u);
}

TEST_F(DisplayChange, PreviewAndWindowedModeStayWhereTheyAre) {
    for (Mode mode : {Mode::Preview, Mode::Windowed}) {
        shell_ = std::make_unique<SaverShell>(platform_);
        HWND window = start(mode);
        platform_.destroyedWindows.clear();
        send(window, WM_DISPLAYCHANGE);
        EXPECT_TRUE(platform_.moves.empty());
        EXPECT_TRUE(platform_.destroyedWindows.empty());
        EXPECT_TRUE(platform_.displays.fitted.empty());
    }
}

// --- Activation ------------------------------------------------------------

TEST_F(ShellTest, LosingActivationEndsOnlyTheFullScreenRun) {
    const struct {
        Mode mode;
        WPARAM active;
        bool closes;
    } cases[] = {{Mode::FullScreen, FALSE, true}, {Mode::FullScreen, TRUE, false},
                 {Mode::Windowed, FALSE, false}, {Mode::Preview, FALSE, false}};
    for (const auto& c : cases) {
        shell_ = std::make_unique<SaverShell>(platform_);
        platform_.closePosts.clear();
        HWND window = start(c.mode);
        send(window, WM_ACTIVATEAPP, c.active);
        EXPECT_EQ(platform_.closePosts.size(), c.closes ? 1u : 0u)
            << "mode " << static_cast<int>(c.mode) << " active " << c.active;
        EXPECT_EQ(shell_->closeRequested(), c.closes);
    }
}

// --- Console display state ---------------------------------------------------

// A WM_POWERBROADCAST as the system sends it for a power setting.
struct PowerSetting {
    POWERBROADCAST_SETTING head;
    BYTE rest[sizeof(DWORD)];
};

LPARAM displayState(PowerSetting& setting, DWORD state, const GUID& guid = consoleDisplayStateSetting) {
    setting.head.PowerSetting = guid;
    setting.head.DataLength = sizeof(DWORD);
    CopyMemory(setting.head.Data, &state, sizeof state);
    return reinterpret_cast<LPARAM>(&setting);
}

TEST_F(ShellTest, DisplayOffPausesEveryLoaderUntilItIsOnAgain) {
    HWND window = start(Mode::FullScreen);
    EXPECT_EQ(platform_.notificationRegistrations, 1);
    PowerSetting setting{};
    const GUID otherSetting{0x12345678, 0x1234, 0x1234, {1, 2, 3, 4, 5, 6, 7, 8}};
    const struct {
        DWORD state;
        const GUID* guid;
        bool off;
    } steps[] = {{0, &consoleDisplayStateSetting, true},  {0, &consoleDisplayStateSetting, true},
                 {0, &otherSetting, true},                {2, &consoleDisplayStateSetting, false},
                 {0, &consoleDisplayStateSetting, true},  {1, &consoleDisplayStateSetting, false}};
    for (const auto& step : steps) {
        EXPECT_EQ(send(window, WM_POWERBROADCAST, PBT_POWERSETTINGCHANGE,
                       displayState(setting, step.state, *step.guid)),
                  step.guid == &otherSetting ? 0x5eed : TRUE);
        EXPECT_EQ(shell_->displayOff(), step.off) << step.state;
    }
    // Each change once: off, on (dimmed still shows the saver), off, on.
    EXPECT_EQ(platform_.displays.pauses, (std::vector<bool>{true, false, true, false}));
    // Other power events go on to the platform default.
    std::size_t before = defaults();
    send(window, WM_POWERBROADCAST, PBT_APMRESUMEAUTOMATIC, 0);
    EXPECT_EQ(defaults(), before + 1);
}

}  // namespace
