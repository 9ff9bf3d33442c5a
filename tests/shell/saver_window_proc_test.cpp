#include "shell_test_fixture.h"

#include <algorithm>

namespace {

using Mode = ShellTest::Mode;

// --- Closing -------------------------------------------------------------

TEST_F(ShellTest, CloseWithoutRequestIsIgnoredInEveryNonPreviewMode) {
    for (Mode mode : {Mode::FullScreen, Mode::Windowed}) {
        shell_ = std::make_unique<SaverShell>(platform_);
        HWND window = start(mode);
        std::size_t before = defaults();
        EXPECT_EQ(send(window, WM_CLOSE), 0);
        EXPECT_EQ(defaults(), before) << "the close reached the platform default";
        EXPECT_EQ(platform_.passwordChecks, 0);
    }
}

TEST_F(ShellTest, SystemKeyRequestsCloseAndPasswordCheckGuardsIt) {
    HWND window = start(Mode::FullScreen);
    send(window, WM_SYSKEYDOWN, VK_F4);
    EXPECT_TRUE(shell_->closeRequested());
    ASSERT_EQ(platform_.closePosts, std::vector<HWND>{window});
    EXPECT_EQ(platform_.defaultMessages.back(), static_cast<UINT>(WM_SYSKEYDOWN));

    // A refused password keeps the saver running and asks again next time.
    platform_.passwordAnswer = 0;
    platform_.cursor = POINT{900, 900};
    std::size_t before = defaults();
    EXPECT_EQ(send(window, WM_CLOSE), 0);
    EXPECT_EQ(defaults(), before);
    EXPECT_TRUE(shell_->closeRequested());
    // Mouse travel is measured from where the refusal left the cursor.
    platform_.closePosts.clear();
    platform_.cursor = POINT{903, 898};
    send(window, WM_MOUSEMOVE);
    EXPECT_TRUE(platform_.closePosts.empty());

    platform_.passwordAnswer = 1;
    EXPECT_EQ(send(window, WM_CLOSE), 0x5eed);
    EXPECT_EQ(platform_.defaultMessages.back(), static_cast<UINT>(WM_CLOSE));
    EXPECT_EQ(platform_.passwordChecks, 2);
}

TEST_F(ShellTest, WindowsOwnMessagesGoStraightToDefaultDuringPasswordCheck) {
    HWND window = start(Mode::FullScreen);
    send(window, WM_SYSKEYDOWN, VK_MENU);
    platform_.closePosts.clear();
    int hidesBefore = platform_.cursorHides;
    std::vector<UINT> seenByDefault;
    platform_.duringPasswordCheck = [&] {
        std::size_t before = defaults();
        send(window, WM_KEYDOWN, 'A');
        send(window, WM_SETCURSOR);
        seenByDefault.assign(platform_.defaultMessages.begin() + before,
                             platform_.defaultMessages.end());
    };
    send(window, WM_CLOSE);
    EXPECT_EQ(seenByDefault, (std::vector<UINT>{WM_KEYDOWN, WM_SETCURSOR}));
    EXPECT_TRUE(platform_.closePosts.empty());
    EXPECT_EQ(platform_.cursorHides, hidesBefore);
}

TEST_F(ShellTest, PreviewLeavesCloseAndInputToThePlatform) {
    HWND window = start(Mode::Preview);
    for (UINT message : {UINT(WM_CLOSE), UINT(WM_KEYDOWN), UINT(WM_LBUTTONDOWN), UINT(WM_SYSKEYDOWN),
                         UINT(WM_SETCURSOR)}) {
        std::size_t before = defaults();
        send(window, message);
        EXPECT_EQ(defaults(), before + 1) << message;
    }
    EXPECT_TRUE(platform_.closePosts.empty());
    EXPECT_EQ(platform_.passwordChecks, 0);
}

// Input in the full-screen run ends it like a system key; the windowed test
// mode and the preview ignore it.
struct InputCase {
    const char* name;
    UINT message;
    POINT cursorMove;  // cursor travel before the message, from (400, 300)
    bool closesFullScreen;
};

void PrintTo(const InputCase& c, std::ostream* os) { *os << c.name; }

class FullScreenInput : public ShellTest, public ::testing::WithParamInterface<InputCase> {};

TEST_P(FullScreenInput, ClosesOnlyInFullScreen) {
    const InputCase& c = GetParam();
    for (Mode mode : {Mode::FullScreen, Mode::Windowed, Mode::Preview}) {
        shell_ = std::make_unique<SaverShell>(platform_);
        platform_.cursor = POINT{400, 300};
        platform_.closePosts.clear();
        HWND window = start(mode);
        platform_.cursor = POINT{400 + c.cursorMove.x, 300 + c.cursorMove.y};
        send(window, c.message);
        bool closes = mode == Mode::FullScreen && c.closesFullScreen;
        EXPECT_EQ(platform_.closePosts.size(), closes ? 1u : 0u)
            << c.name << " in mode " << static_cast<int>(mode);
        EXPECT_EQ(shell_->closeRequested(), closes) << c.name;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Messages, FullScreenInput,
    ::testing::Values(InputCase{"key", WM_KEYDOWN, {0, 0}, true},
                      InputCase{"left button", WM_LBUTTONDOWN, {0, 0}, true},
                      InputCase{"right button", WM_RBUTTONDOWN, {0, 0}, true},
                      InputCase{"middle button", WM_MBUTTONDOWN, {0, 0}, true},
                      InputCase{"side button", WM_XBUTTONDOWN, {0, 0}, true},
                      InputCase{"wheel", WM_MOUSEWHEEL, {0, 0}, true},
                      InputCase{"tilt wheel", WM_MOUSEHWHEEL, {0, 0}, true},
                      InputCase{"3 px jiggle", WM_MOUSEMOVE, {3, -3}, false},
                      InputCase{"exactly 10 px", WM_MOUSEMOVE, {6, 8}, false},
                      InputCase{"11 px", WM_MOUSEMOVE, {-11, 0}, true},
                      InputCase{"diagonal 8,8", WM_MOUSEMOVE, {8, 8}, true},
                      InputCase{"key release", WM_KEYUP, {0, 0}, false},
                      InputCase{"button release", WM_LBUTTONUP, {0, 0}, false}),
    [](const auto& info) {
        std::string name = info.param.name;
        std::replace_if(name.begin(), name.end(), [](char c) { return !std::isalnum(c); }, '_');
        return name;
    });

// --- System commands -----------------------------------------------------

TEST_F(ShellTest, SwitchingAndScreenSaveCommandsAreSwallowed) {
    for (Mode mode : {Mode::FullScreen, Mode::Windowed}) {
        shell_ = std::make_unique<SaverShell>(platform_);
        HWND window = start(mode);
        for (WPARAM command : {WPARAM(SC_SCREENSAVE), WPARAM(SC_NEXTWINDOW), WPARAM(SC_PREVWINDOW),
                               WPARAM(SC_SCREENSAVE | 2)}) {
            std::size_t before = defaults();
            EXPECT_EQ(send(window, WM_SYSCOMMAND, command), 0);
            EXPECT_EQ(defaults(), before) << command;
        }
        std::size_t before = defaults();
        send(window, WM_SYSCOMMAND, SC_CLOSE);
        EXPECT_EQ(defaults(), before + 1);
    }
}

TEST_F(ShellTest, PreviewPassesSystemCommandsOn) {
    HWND window = start(Mode::Preview);
    std::size_t before = defaults();
    send(window, WM_SYSCOMMAND, SC_SCREENSAVE);
    send(window, WM_SYSCOMMAND, SC_MONITORPOWER, 2);
    EXPECT_EQ(defaults(), before + 2);
    EXPECT_FALSE(shell_->monitorPowerSaving());
}

struct PowerCase {
    Mode mode;
    LPARAM state;  // -1 on, 1 low power, 2 off
    bool saving;
};

class MonitorPower : public ShellTest, public ::testing::WithParamInterface<PowerCase> {};

TEST_P(MonitorPower, SetsSleepingPaceUntilNextClose) {
    const PowerCase& c = GetParam();
    HWND window = start(c.mode);
    std::size_t before = defaults();
    send(window, WM_SYSCOMMAND, SC_MONITORPOWER, c.state);
    EXPECT_EQ(defaults(), before + 1) << "the request goes on to the platform";
    EXPECT_EQ(shell_->monitorPowerSaving(), c.saving);
    // Powering up again does not clear it; the next close does, even an
    // ignored one.
    send(window, WM_SYSCOMMAND, SC_MONITORPOWER, -1);
    EXPECT_EQ(shell_->monitorPowerSaving(), c.saving);
    send(window, WM_CLOSE);
    EXPECT_FALSE(shell_->monitorPowerSaving());
}

INSTANTIATE_TEST_SUITE_P(States, MonitorPower,
                         ::testing::Values(PowerCase{Mode::FullScreen, 1, true},
                                           PowerCase{Mode::FullScreen, 2, true},
                                           PowerCase{Mode::FullScreen, -1, false},
                                           PowerCase{Mode::Windowed, 1, false},
                                           PowerCase{Mode::Windowed, 2, false}));

// --- Cursor ----------------------------------------------------------------

TEST_F(ShellTest, CursorHiddenOnlyInFullScreen) {
    struct Expect {
        Mode mode;
        int hides;                // after creation, a show and a cursor query
        bool setCursorToDefault;
    };
    for (Expect e : {Expect{Mode::FullScreen, 3, false}, Expect{Mode::Windowed, 0, true},
                     Expect{Mode::Preview, 0, true}}) {
        shell_ = std::make_unique<SaverShell>(platform_);
        platform_.cursorHides = 0;
        HWND window = start(e.mode);
        send(window, WM_SHOWWINDOW, TRUE);
        send(window, WM_SHOWWINDOW, FALSE);
        std::size_t before = defaults();
        LRESULT r = send(window, WM_SETCURSOR);
        EXPECT_EQ(platform_.cursorHides, e.hides) << static_cast<int>(e.mode);
        EXPECT_EQ(defaults(), before + (e.setCursorToDefault ? 1 : 0));
        if (!e.setCursorToDefault) {
            EXPECT_EQ(r, 1);
        }
    }
}

// --- Displays and the shared provider ----------------------------------------

TEST_F(ShellTest, FirstWindowRaisesPrioritySeedsAndBuildsProviderFromDirectories) {
    theSettings.multimon = true;
    theSettings.directories = {"C:\\Pictures", "D:\\Holidays"};
    platform_.monitors = {{RECT{0, 0, 800, 600}, true}, {RECT{800, 0, 1824, 768}, false}};
    ASSERT_FALSE(shell_->openSaverWindows(nullptr).has_value());
    ASSERT_EQ(platform_.windowsMade.size(), 2u);
    HWND first = reinterpret_cast<HWND>(0x101), second = reinterpret_cast<HWND>(0x102);
    send(first, WM_CREATE);
    send(second, WM_CREATE);
    EXPECT_EQ(platform_.priorityRaises, 1);
    EXPECT_EQ(platform_.seeds, 1);
    EXPECT_EQ(platform_.providersMade, 1);
    EXPECT_EQ(platform_.providerDirectories, theSettings.directories);
    EXPECT_EQ(platform_.displays.made, 2);
    EXPECT_EQ(shell_->displayCount(), 2u);
    EXPECT_NE(platform_.providerGiven, nullptr);

    shell_->renderAllDisplays();
    shell_->renderAllDisplays();
    EXPECT_EQ(platform_.displays.frames, 4);
}

TEST_F(ShellTest, DestroyingAnySaverWindowTearsDownEverything) {
    theSettings.multimon = true;
    platform_.monitors = {{RECT{0, 0, 800, 600}, true}, {RECT{800, 0, 1824, 768}, false},
                          {RECT{-640, 0, 0, 480}, false}};
    ASSERT_FALSE(shell_->openSaverWindows(nullptr).has_value());
    std::vector<HWND> windows;
    for (int i = 1; i <= 3; ++i) windows.push_back(reinterpret_cast<HWND>(0x100 + i));
    for (HWND w : windows) send(w, WM_CREATE);
    ASSERT_FALSE(platform_.providerAlive.expired());

    // The middle monitor's window goes first; the others' own destruction
    // messages come back while teardown destroys them.
    platform_.duringDestroy = [this](HWND window) { send(window, WM_DESTROY); };
    send(windows[1], WM_DESTROY);
    EXPECT_EQ(platform_.lastQuitCode, 0);
    EXPECT_EQ(platform_.displays.destroyed, 3);
    EXPECT_EQ(platform_.displays.destroyOrder, windows) << "Displays go in creation order";
    EXPECT_EQ(platform_.displays.stopsAtDestruction, (std::vector<int>{3, 3, 3}))
        << "every loader winds down before the first Display waits for its own";
    EXPECT_EQ(platform_.destroyedWindows, (std::vector<HWND>{windows[0], windows[2]}))
        << "every other window is destroyed";
    EXPECT_EQ(platform_.clearedTitles, (std::vector<HWND>{windows[1]}))
        << "the dying one, still there while the loaders wind down, is no running saver";
    EXPECT_EQ(platform_.displays.windowsDestroyedAtDestruction, (std::vector<std::size_t>{2, 2, 2}))
        << "before the first Display waits for its loader";
    EXPECT_EQ(platform_.notificationUnregistrations, 1);
    EXPECT_FALSE(shell_->leftThreadsBehind());
    EXPECT_TRUE(platform_.providerAlive.expired());
    EXPECT_EQ(shell_->displayCount(), 0u);
    EXPECT_FALSE(shell_->hasProvider());

    // Later destructions find nothing left.
    platform_.duringDestroy = nullptr;
    send(windows[0], WM_DESTROY);
    send(windows[2], WM_DESTROY);
    EXPECT_EQ(platform_.displays.destroyed, 3);
    EXPECT_EQ(platform_.destroyedWindows.size(), 2u);
    shell_->renderAllDisplays();
    EXPECT_EQ(platform_.displays.frames, 0);
}

TEST_F(ShellTest, PreviewDestroyedByItsPaneEndsTheRun) {
    HWND window = start(Mode::Preview);
    EXPECT_EQ(shell_->displayCount(), 1u);
    send(window, WM_DESTROY);
    EXPECT_EQ(platform_.quitPosts, 1);
    EXPECT_EQ(platform_.displays.destroyed, 1);
    EXPECT_TRUE(platform_.providerAlive.expired());
}

}  // namespace
