#pragma once
#include "settings/settings.h"
#include "shell/saver_shell.h"
#include "recording_platform.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

// A saver shell over a recording platform, with theSettings' fields that the
// shell reads restored afterwards.
class ShellTest : public ::testing::Test {
public:
    enum class Mode { FullScreen, Preview, Windowed };

protected:
    void SetUp() override {
        savedMultimon_ = theSettings.multimon;
        savedDirectories_ = theSettings.directories;
        theSettings.multimon = false;
    }
    void TearDown() override {
        platform_.duringDestroy = nullptr;
        shell_.reset();
        theSettings.multimon = savedMultimon_;
        theSettings.directories = savedDirectories_;
    }

    // Sets the mode up through the shell's own window setup and delivers the
    // creation message of its (first) window, as the system would.
    HWND start(Mode mode) {
        platform_.monitors = {{RECT{0, 0, 800, 600}, true}};
        std::optional<int> status;
        if (mode == Mode::FullScreen) status = shell_->openSaverWindows(nullptr);
        if (mode == Mode::Preview) status = shell_->openSaverWindows(previewParent);
        if (mode == Mode::Windowed) status = shell_->openWindowedWindow();
        EXPECT_FALSE(status.has_value());
        HWND window = mode == Mode::FullScreen ? shell_->primaryWindow() : shell_->mainWindow();
        EXPECT_NE(window, nullptr);
        send(window, WM_CREATE);
        return window;
    }

    LRESULT send(HWND window, UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {
        return shell_->saverWindowProc(window, message, wParam, lParam);
    }

    // How many messages reached the platform default so far.
    std::size_t defaults() const { return platform_.defaultMessages.size(); }

    static inline const HWND previewParent = reinterpret_cast<HWND>(0x4d2);

    RecordingPlatform platform_;
    std::unique_ptr<SaverShell> shell_ = std::make_unique<SaverShell>(platform_);

private:
    bool savedMultimon_ = false;
    std::vector<std::string> savedDirectories_;
};
