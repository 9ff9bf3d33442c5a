#pragma once
#include <windows.h>

#include <memory>
#include <optional>
#include <vector>

#include "images/random_image_provider.h"
#include "shell/shell_display.h"
#include "shell/shell_platform.h"

// The saver once a run mode is chosen: its windows, the Displays and the
// shared picture source behind them, and the decisions of the window
// procedure. One instance serves the process (the class window procedure
// finds it through active()); tests make their own over a recording
// platform.
//
// Everything here runs on the main thread; no field needs a lock.
class SaverShell {
public:
    // The full-screen run's close rule for mouse travel: farther than this
    // from where the cursor was at the start (or after a refused password).
    static constexpr int mouseTravelLimit = 10;

    explicit SaverShell(ShellPlatform& platform);
    ~SaverShell();
    SaverShell(const SaverShell&) = delete;
    SaverShell& operator=(const SaverShell&) = delete;

    // The shell the class window procedure dispatches to; null when none.
    static SaverShell* active();
    void makeActive();

    // Window setup of the full-screen run (no parent) or the preview run.
    // An exit status when the run ends here: 0 when another full-screen
    // saver is already running, -1 when the class or the window could not
    // be made. Nothing when the windows are up and the loop should run.
    std::optional<int> openSaverWindows(HWND parent);
    // Window setup of the windowed test mode, with the same meaning.
    std::optional<int> openWindowedWindow();

    // The monitor-enumeration callback: one full-screen window per monitor
    // that is used. False ends the enumeration.
    bool addMonitorWindow(HMONITOR monitor, const RECT& monitorRect);

    // The three stages of the window procedure, in the order they run.
    LRESULT saverWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT displayWindowHook(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT defaultSaverProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    // One idle pass: a frame of every Display, in creation order.
    void renderAllDisplays();

    // Runs until the quit message and returns its code. The full-screen and
    // preview loops sleep 1 ms per idle pass once the monitor was asked to
    // save power; the windowed loop never does. While the console display
    // is off nothing is rendered: the loop only waits for messages.
    int runMessageLoop(bool sleepWhenPowerSaving);

    // True when teardown left a loader thread running (a decode or a
    // directory read that did not end in time): the provider is kept for
    // good, and the process must end without destroying its static objects
    // (endProcessNow).
    bool leftThreadsBehind() const { return leftThreadsBehind_; }

    // The end of a run with `status`, however the loop ended (a close, or a
    // quit message from outside with every window still up): every window
    // and Display goes first, and only then is it known whether a loader
    // was left running, in which case the process ends here, under it.
    // Returns `status` otherwise.
    int finishRun(int status);

    // State read by tests and by the loop.
    bool previewMode() const { return previewMode_; }
    bool windowedMode() const { return windowedMode_; }
    bool closeRequested() const { return closeRequested_; }
    bool monitorPowerSaving() const { return monitorPowerSaving_; }
    bool displayOff() const { return displayOff_; }
    HWND primaryWindow() const { return primaryWindow_; }
    HWND mainWindow() const { return mainWindow_; }
    std::size_t displayCount() const { return displayList_.size(); }
    bool hasProvider() const { return provider_ != nullptr; }

private:
    struct SaverDisplayEntry {
        HWND window;
        std::unique_ptr<ShellDisplay> display;
    };

    int verifyPassword(HWND window);
    void requestClose(HWND window);
    bool closesOnInput(UINT message);
    bool mouseTravelledTooFar();
    // The close was accepted: every saver window is hidden and every loader
    // asked to stop, before the platform destroys the first window.
    void beginClose();
    // Everything at once: every saver window hidden, every loader asked to
    // stop, every other saver window destroyed, then every Display
    // destroyed within one bound.
    void tearDownDisplays(HWND dying = nullptr);
    // Hides `windows`, arms the grace exit and asks every loader to stop.
    void hideAndStop(const std::vector<HWND>& windows);
    // The full-screen windows and the preview or windowed one, while up.
    std::vector<HWND> saverWindows() const;
    // One window whose monitor is gone, and its Display alone.
    void retireWindow(HWND window);
    void refitToMonitors();
    // With one monitor used, its window follows the primary one; false when
    // no monitor says it is the primary.
    bool followPrimaryMonitor();
    // Moves and sizes `window` to `rect`, and its Display with it.
    void fitWindow(HWND window, const RECT& rect);
    // A full-screen window on a monitor; null when the platform refuses it.
    HWND openMonitorWindow(const RECT& monitorRect, bool primary);
    void setDisplayOff(bool off);
    std::optional<int> openFullScreenWindows();
    std::optional<int> openPreviewWindow(HWND parent);

    ShellPlatform& platform_;
    std::vector<SaverDisplayEntry> displayList_;     // creation order
    std::unique_ptr<RandomImageProvider> provider_;  // shared by every Display
    bool previewMode_ = false;
    bool windowedMode_ = false;
    bool closeRequested_ = false;
    bool passwordCheckActive_ = false;
    bool monitorPowerSaving_ = false;
    bool displayOff_ = false;        // the console display is off
    bool tearingDown_ = false;       // the saver windows are going
    bool closing_ = false;           // the close was accepted
    bool leftThreadsBehind_ = false;
    bool startFailed_ = false;       // the close's status is -1, not 0
    HWND retiring_ = nullptr;        // destroyed for its lost monitor, alone
    HWND notificationWindow_ = nullptr;  // receives the display state notices
    HWND primaryWindow_ = nullptr;
    HWND mainWindow_ = nullptr;  // the preview window or the windowed test window
    bool mainWindowGone_ = false;
    std::vector<HWND> fullScreenWindows_;  // made by addMonitorWindow
    POINT cursorAnchor_{};       // where mouse travel is measured from
};
