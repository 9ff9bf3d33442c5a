// The close seen from the user's side (windows gone first, the process's
// end), and the monitors and the cursor across a display change.
#include "shell_test_fixture.h"

#include <algorithm>

namespace {

using Mode = ShellTest::Mode;

HWND windowNumber(int n) { return reinterpret_cast<HWND>(static_cast<std::uintptr_t>(0x100 + n)); }

const std::vector<RecordingPlatform::Monitor> twoMonitors = {
    {RECT{0, 0, 800, 600}, true},
    {RECT{800, 0, 1824, 768}, false},
};

class CloseOf : public ShellTest {
protected:
    // Closes the run that `windows` make, through the last one's destruction.
    void expectHiddenFirst(const std::vector<HWND>& windows) {
        platform_.duringDestroy = [this](HWND window) { send(window, WM_DESTROY); };
        send(windows.back(), WM_DESTROY);
        platform_.duringDestroy = nullptr;
        std::vector<HWND> hidden = platform_.hiddenWindows;
        std::sort(hidden.begin(), hidden.end());
        EXPECT_EQ(hidden, windows);
        EXPECT_EQ(platform_.displays.windowsHiddenAtStopRequest,
                  std::vector<std::size_t>(windows.size(), windows.size()))
            << "every window is off the screen before the first loader is asked to stop";
        // The end is bounded from the close on, with the run's status.
        EXPECT_EQ(platform_.graceExits, std::vector<int>{0});
    }
};

TEST_F(CloseOf, EveryFullScreenWindowIsHiddenBeforeAnyLoaderIsAskedToStop) {
    theSettings.multimon = true;
    platform_.monitors = twoMonitors;
    ASSERT_FALSE(shell_->openSaverWindows(nullptr).has_value());
    for (int i = 1; i <= 2; ++i) send(windowNumber(i), WM_CREATE);
    expectHiddenFirst({windowNumber(1), windowNumber(2)});
}

TEST_F(CloseOf, AnAcceptedCloseHidesEveryWindowBeforeThePlatformDestroysOne) {
    theSettings.multimon = true;
    platform_.monitors = twoMonitors;
    ASSERT_FALSE(shell_->openSaverWindows(nullptr).has_value());
    for (int i = 1; i <= 2; ++i) send(windowNumber(i), WM_CREATE);
    send(windowNumber(2), WM_KEYDOWN);
    ASSERT_EQ(platform_.closePosts, std::vector<HWND>{windowNumber(2)});
    // A refused password hides nothing.
    platform_.passwordAnswer = 0;
    send(windowNumber(2), WM_CLOSE);
    EXPECT_TRUE(platform_.hiddenWindows.empty());
    EXPECT_EQ(platform_.displays.stopRequests, 0);
    platform_.passwordAnswer = 1;
    const std::size_t before = defaults();
    send(windowNumber(2), WM_CLOSE);
    EXPECT_EQ(platform_.hiddenWindows, (std::vector<HWND>{windowNumber(1), windowNumber(2)}));
    EXPECT_EQ(platform_.displays.windowsHiddenAtStopRequest, (std::vector<std::size_t>{2, 2}));
    EXPECT_EQ(platform_.graceExits, std::vector<int>{0});
    // Then the platform's default destroys the window, which tears down.
    ASSERT_EQ(defaults(), before + 1);
    EXPECT_EQ(platform_.defaultMessages.back(), static_cast<UINT>(WM_CLOSE));
    EXPECT_TRUE(platform_.destroyedWindows.empty());
}

TEST_F(CloseOf, ThePreviewIsHiddenBeforeItsLoaderIsAskedToStop) {
    expectHiddenFirst({start(Mode::Preview)});
}

TEST_F(ShellTest, AFailedStartWhoseWindowsTearDownUnderItDestroysEachOnce) {
    theSettings.multimon = true;
    platform_.monitors = {{RECT{-640, 0, 0, 480}, false},
                          {RECT{800, 0, 1824, 768}, false},
                          {RECT{0, 0, 800, 600}, true}};
    platform_.failingRequest = 3;  // the primary's
    // The first window's destruction message tears down every Display and
    // destroys the other windows, while the cleanup still goes through them.
    platform_.duringDestroy = [this](HWND window) { send(window, WM_DESTROY); };
    platform_.duringCreate = [this](HWND window) { send(window, WM_CREATE); };
    EXPECT_EQ(shell_->openSaverWindows(nullptr), -1);
    EXPECT_EQ(platform_.destroyedWindows, (std::vector<HWND>{windowNumber(1), windowNumber(2)}));
    EXPECT_EQ(platform_.displays.destroyed, 2);
    EXPECT_EQ(platform_.graceExits, std::vector<int>{-1});
    platform_.duringDestroy = nullptr;
}

TEST_F(ShellTest, ARunEndedFromOutsideTearsDownBeforeItDecidesTheProcessEnd) {
    start(Mode::FullScreen);
    // A quit message from outside ended the loop: every window is up.
    EXPECT_EQ(shell_->finishRun(3), 3);
    EXPECT_EQ(platform_.displays.destroyed, 1);
    EXPECT_FALSE(shell_->leftThreadsBehind());
    EXPECT_TRUE(platform_.processEnds.empty());
}

TEST_F(ShellTest, ARunEndedFromOutsideUnderARunningLoaderEndsTheProcessAfterTheTeardown) {
    platform_.displays.leaveThreadsBehind = true;
    start(Mode::FullScreen);
    shell_->finishRun(3);
    EXPECT_TRUE(shell_->leftThreadsBehind());
    EXPECT_EQ(platform_.processEnds, std::vector<int>{3}) << "ended under the loader still running";
    EXPECT_EQ(platform_.displaysDestroyedAtProcessEnd, std::vector<int>{1});
    EXPECT_FALSE(platform_.providerAlive.expired()) << "kept for the thread";
}

class DisplayChangeOf : public ShellTest {};

TEST_F(DisplayChangeOf, AMonitorAddedWhileRunningGetsAWindowOnTop) {
    theSettings.multimon = true;
    platform_.duringCreate = [this](HWND window) { send(window, WM_CREATE); };
    platform_.monitors = twoMonitors;
    ASSERT_FALSE(shell_->openSaverWindows(nullptr).has_value());
    ASSERT_EQ(shell_->displayCount(), 2u);
    platform_.monitors.push_back({RECT{-1280, 0, 0, 1024}, false});
    platform_.windowMonitors = {{windowNumber(1), 0}, {windowNumber(2), 1}};
    send(windowNumber(1), WM_DISPLAYCHANGE);
    ASSERT_EQ(platform_.windowsMade.size(), 3u);
    const WindowRequest& made = platform_.windowsMade.back();
    EXPECT_EQ(made.x, -1280);
    EXPECT_EQ(made.width, 1280);
    EXPECT_EQ(made.height, 1024);
    EXPECT_EQ(made.exStyle, static_cast<DWORD>(WS_EX_TOPMOST));
    EXPECT_EQ(shell_->displayCount(), 3u);
    EXPECT_EQ(shell_->primaryWindow(), windowNumber(1));
    // The next change knows it as one of the saver's windows.
    platform_.windowMonitors[windowNumber(3)] = 2;
    send(windowNumber(1), WM_DISPLAYCHANGE);
    EXPECT_EQ(platform_.windowsMade.size(), 3u);
    EXPECT_EQ(platform_.moves.size(), 5u);
}

TEST_F(DisplayChangeOf, ThePrimaryMonitorTakesTheOneWindowWithIt) {
    theSettings.multimon = false;
    platform_.monitors = twoMonitors;
    ASSERT_FALSE(shell_->openSaverWindows(nullptr).has_value());
    send(windowNumber(1), WM_CREATE);
    // The other monitor is the primary now; the window is still wholly on
    // the first one.
    platform_.monitors[0].primary = false;
    platform_.monitors[1].primary = true;
    platform_.windowMonitors = {{windowNumber(1), 0}};
    send(windowNumber(1), WM_DISPLAYCHANGE);
    ASSERT_EQ(platform_.moves.size(), 1u);
    EXPECT_EQ(platform_.moves[0].first, windowNumber(1));
    EXPECT_EQ(platform_.moves[0].second.left, 800);
    EXPECT_EQ(platform_.moves[0].second.right, 1824);
    EXPECT_EQ(platform_.displays.fitted, std::vector<HWND>{windowNumber(1)});
    EXPECT_EQ(platform_.windowsMade.size(), 1u) << "the other monitor gets none";
}

TEST_F(DisplayChangeOf, TheCursorMovedByAMonitorThatWentIsNoMouseTravel) {
    theSettings.multimon = true;
    platform_.duringDestroy = [this](HWND window) { send(window, WM_DESTROY); };
    platform_.monitors = twoMonitors;
    platform_.cursor = POINT{1300, 400};  // on the second monitor
    ASSERT_FALSE(shell_->openSaverWindows(nullptr).has_value());
    for (int i = 1; i <= 2; ++i) send(windowNumber(i), WM_CREATE);
    // It is unplugged (or asleep, and gone): the system puts the cursor on
    // the primary monitor and tells every window.
    platform_.monitors.pop_back();
    platform_.windowMonitors = {{windowNumber(1), 0}};
    platform_.cursor = POINT{400, 300};
    send(windowNumber(1), WM_DISPLAYCHANGE);
    send(windowNumber(1), WM_MOUSEMOVE);
    EXPECT_TRUE(platform_.closePosts.empty());
    // Travel from there on still counts.
    platform_.cursor = POINT{420, 300};
    send(windowNumber(1), WM_MOUSEMOVE);
    EXPECT_EQ(platform_.closePosts, std::vector<HWND>{windowNumber(1)});
    platform_.duringDestroy = nullptr;
}

}  // namespace
