#include "platform/debug_output.h"
#include "shell_test_fixture.h"

namespace {

constexpr DWORD fullScreenStyle = WS_POPUP | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN;

HWND windowNumber(int n) { return reinterpret_cast<HWND>(static_cast<std::uintptr_t>(0x100 + n)); }

// A secondary monitor left of the primary one, enumerated first, and one
// above right: the rectangles are virtual-screen coordinates.
const std::vector<RecordingPlatform::Monitor> threeMonitors = {
    {RECT{-1280, 0, 0, 1024}, false},
    {RECT{0, 0, 1920, 1080}, true},
    {RECT{1920, -200, 3200, 824}, false},
};

TEST_F(ShellTest, WithoutMultimonOnlyThePrimaryMonitorGetsAWindow) {
    platform_.monitors = threeMonitors;
    ASSERT_FALSE(shell_->openSaverWindows(nullptr).has_value());
    ASSERT_EQ(platform_.windowsMade.size(), 1u);
    const WindowRequest& r = platform_.windowsMade[0];
    EXPECT_EQ(r.exStyle, 0u);
    EXPECT_EQ(platform_.titles[0], "Screensaver");
    EXPECT_EQ(r.style, fullScreenStyle);
    EXPECT_EQ(r.x, 0);
    EXPECT_EQ(r.y, 0);
    EXPECT_EQ(r.width, 1920);
    EXPECT_EQ(r.height, 1080);
    EXPECT_EQ(r.parent, nullptr);
    EXPECT_EQ(shell_->primaryWindow(), windowNumber(1));
    EXPECT_EQ(platform_.foreground, std::vector<HWND>{windowNumber(1)});
    EXPECT_EQ(platform_.topmost, std::vector<HWND>{windowNumber(1)});
    EXPECT_FALSE(platform_.lastClassHadArrow);
}

TEST_F(ShellTest, EnumerationStopsRightAfterThePrimaryWindowWithoutMultimon) {
    platform_.monitors = threeMonitors;
    EXPECT_TRUE(shell_->addMonitorWindow(RecordingPlatform::monitorHandle(0), threeMonitors[0].rect));
    EXPECT_TRUE(platform_.windowsMade.empty());
    EXPECT_FALSE(shell_->addMonitorWindow(RecordingPlatform::monitorHandle(1), threeMonitors[1].rect));
    EXPECT_EQ(platform_.windowsMade.size(), 1u);
}

TEST_F(ShellTest, WithMultimonEveryMonitorGetsAWindowAndOthersAreTopmostFromTheStart) {
    theSettings.multimon = true;
    platform_.monitors = threeMonitors;
    ASSERT_FALSE(shell_->openSaverWindows(nullptr).has_value());
    ASSERT_EQ(platform_.windowsMade.size(), 3u);
    for (std::size_t i = 0; i < 3; ++i) {
        const WindowRequest& r = platform_.windowsMade[i];
        const RECT& m = threeMonitors[i].rect;
        EXPECT_EQ(r.exStyle, threeMonitors[i].primary ? 0u : DWORD(WS_EX_TOPMOST)) << i;
        EXPECT_EQ(r.x, m.left) << i;
        EXPECT_EQ(r.y, m.top) << i;
        EXPECT_EQ(r.width, m.right - m.left) << i;
        EXPECT_EQ(r.height, m.bottom - m.top) << i;
    }
    EXPECT_EQ(shell_->primaryWindow(), windowNumber(2));
    EXPECT_EQ(platform_.foreground.size(), 3u);
    EXPECT_EQ(platform_.topmost, std::vector<HWND>{windowNumber(2)});
}

TEST_F(ShellTest, MonitorThatCannotDescribeItselfIsNotTakenForPrimary) {
    platform_.monitors = {{RECT{0, 0, 800, 600}, true, false}};
    DebugOutputCapture capture;
    EXPECT_EQ(shell_->openSaverWindows(nullptr), -1);
    EXPECT_TRUE(platform_.windowsMade.empty());
    EXPECT_NE(capture.text().find("no saver window"), std::string::npos);
}

TEST_F(ShellTest, SecondFullScreenStartShowsTheRunningSaverAndExitsZero) {
    platform_.monitors = threeMonitors;
    platform_.runningSaver = reinterpret_cast<HWND>(0x777);
    EXPECT_EQ(shell_->openSaverWindows(nullptr), 0);
    EXPECT_EQ(platform_.foreground, std::vector<HWND>{reinterpret_cast<HWND>(0x777)});
    EXPECT_EQ(platform_.classRegistrations, 0);
    EXPECT_TRUE(platform_.windowsMade.empty());
}

TEST_F(ShellTest, DeadRunningSaverHandleDoesNotStopANewRun) {
    platform_.monitors = threeMonitors;
    platform_.runningSaver = reinterpret_cast<HWND>(0x777);
    platform_.runningSaverAlive = false;
    EXPECT_FALSE(shell_->openSaverWindows(nullptr).has_value());
    EXPECT_EQ(platform_.windowsMade.size(), 1u);
}

struct FailureCase {
    const char* name;
    bool preview;
    bool windowed;
    bool classRegisters;
    int failingRequest;
    const char* line;
};

class SetupFailure : public ShellTest, public ::testing::WithParamInterface<FailureCase> {};

TEST_P(SetupFailure, ExitsMinusOneWithOneDebuggerLine) {
    const FailureCase& c = GetParam();
    platform_.monitors = threeMonitors;
    platform_.classRegisters = c.classRegisters;
    platform_.failingRequest = c.failingRequest;
    theSettings.multimon = true;
    DebugOutputCapture capture;
    std::optional<int> status = c.windowed ? shell_->openWindowedWindow()
                                           : shell_->openSaverWindows(c.preview ? previewParent
                                                                                : nullptr);
    EXPECT_EQ(status, -1) << c.name;
    EXPECT_EQ(capture.text(), c.line) << c.name;
    EXPECT_EQ(shell_->primaryWindow(), nullptr);
    EXPECT_EQ(shell_->mainWindow(), nullptr);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SetupFailure,
    ::testing::Values(
        FailureCase{"full screen class", false, false, false, 0,
                    "Glimmora.scr: the saver window class could not be registered\n"},
        FailureCase{"preview class", true, false, false, 0,
                    "Glimmora.scr: the saver window class could not be registered\n"},
        FailureCase{"windowed class", false, true, false, 0,
                    "Glimmora.scr: the saver window class could not be registered\n"},
        FailureCase{"preview window", true, false, true, 1,
                    "Glimmora.scr: the preview window could not be created\n"},
        FailureCase{"windowed window", false, true, true, 1,
                    "Glimmora.scr: the windowed saver could not be created\n"},
        FailureCase{"primary window", false, false, true, 2,
                    "Glimmora.scr: no saver window could be created on the primary monitor\n"}),
    [](const auto& info) {
        std::string name = info.param.name;
        for (char& ch : name)
            if (ch == ' ') ch = '_';
        return name;
    });

TEST_F(ShellTest, WindowsMadeOnOtherMonitorsGoWhenThePrimaryFails) {
    theSettings.multimon = true;
    platform_.monitors = threeMonitors;
    platform_.failingRequest = 2;
    EXPECT_EQ(shell_->openSaverWindows(nullptr), -1);
    EXPECT_EQ(platform_.destroyedWindows, (std::vector<HWND>{windowNumber(1), windowNumber(3)}));
}

TEST_F(ShellTest, PreviewFillsTheParentsClientArea) {
    platform_.parentClient = RECT{0, 0, 152, 112};
    ASSERT_FALSE(shell_->openSaverWindows(previewParent).has_value());
    EXPECT_TRUE(shell_->previewMode());
    ASSERT_EQ(platform_.windowsMade.size(), 1u);
    const WindowRequest& r = platform_.windowsMade[0];
    EXPECT_EQ(platform_.titles[0], "Screensaver Preview");
    EXPECT_EQ(r.style, DWORD(WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN));
    EXPECT_EQ(r.exStyle, 0u);
    EXPECT_EQ(r.x, 0);
    EXPECT_EQ(r.y, 0);
    EXPECT_EQ(r.width, 152);
    EXPECT_EQ(r.height, 112);
    EXPECT_EQ(r.parent, previewParent);
    EXPECT_EQ(shell_->mainWindow(), windowNumber(1));
    EXPECT_TRUE(platform_.topmost.empty());
}

TEST_F(ShellTest, WindowedModeOpensItsFixedWindowWithTheArrowCursor) {
    ASSERT_FALSE(shell_->openWindowedWindow().has_value());
    EXPECT_TRUE(shell_->windowedMode());
    EXPECT_TRUE(platform_.lastClassHadArrow);
    ASSERT_EQ(platform_.windowsMade.size(), 1u);
    const WindowRequest& r = platform_.windowsMade[0];
    EXPECT_EQ(platform_.titles[0], "Windowed Screensaver");
    EXPECT_EQ(r.style, DWORD(WS_POPUP | WS_VISIBLE | WS_OVERLAPPEDWINDOW));
    EXPECT_EQ(r.x, 100);
    EXPECT_EQ(r.y, 100);
    EXPECT_EQ(r.width, 512);
    EXPECT_EQ(r.height, 480);
    EXPECT_EQ(r.parent, nullptr);
}

}  // namespace
