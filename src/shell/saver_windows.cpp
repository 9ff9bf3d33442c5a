#include "shell/saver_shell.h"

#include "platform/debug_output.h"
#include "settings/settings.h"

// The saver's window setup in each run mode.

namespace {

constexpr DWORD fullScreenStyle = WS_POPUP | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN;

std::optional<int> failed(const char* line) {
    debugOutput(line);
    return -1;
}

}  // namespace

std::optional<int> SaverShell::openSaverWindows(HWND parent) {
    return parent ? openPreviewWindow(parent) : openFullScreenWindows();
}

std::optional<int> SaverShell::openPreviewWindow(HWND parent) {
    previewMode_ = true;
    RECT pane = platform_.clientRect(parent);
    if (!platform_.registerSaverClass(false))
        return failed("Glimmora.scr: the saver window class could not be registered\n");
    WindowRequest request;
    request.title = "Screensaver Preview";
    request.style = WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN;
    request.width = pane.right;
    request.height = pane.bottom;
    request.parent = parent;
    mainWindow_ = platform_.createWindow(request);
    if (!mainWindow_) return failed("Glimmora.scr: the preview window could not be created\n");
    return std::nullopt;
}

std::optional<int> SaverShell::openFullScreenWindows() {
    // The platform may start a second saver while one runs (a hot corner, a
    // timeout during a test run): show the one that runs instead.
    HWND running = platform_.findRunningSaver();
    if (running && platform_.isWindow(running)) {
        platform_.bringToForeground(running);
        return 0;
    }
    if (!platform_.registerSaverClass(false))
        return failed("Glimmora.scr: the saver window class could not be registered\n");
    platform_.enumerateMonitors(
        [this](HMONITOR monitor, const RECT& rect) { return addMonitorWindow(monitor, rect); });
    if (!primaryWindow_) {
        // Windows made on other monitors would outlive the process's loop;
        // the first destruction tears down every Display and destroys the
        // rest, emptying the list under this loop: each is taken off first.
        startFailed_ = true;
        while (!fullScreenWindows_.empty()) {
            const HWND window = fullScreenWindows_.front();
            fullScreenWindows_.erase(fullScreenWindows_.begin());
            platform_.destroyWindow(window);
        }
        return failed("Glimmora.scr: no saver window could be created on the primary monitor\n");
    }
    platform_.makeTopmost(primaryWindow_);
    return std::nullopt;
}

std::optional<int> SaverShell::openWindowedWindow() {
    windowedMode_ = true;
    if (!platform_.registerSaverClass(true))
        return failed("Glimmora.scr: the saver window class could not be registered\n");
    WindowRequest request;
    request.title = "Windowed Screensaver";
    request.style = WS_POPUP | WS_VISIBLE | WS_OVERLAPPEDWINDOW;
    request.x = 100;
    request.y = 100;
    request.width = 512;
    request.height = 480;
    mainWindow_ = platform_.createWindow(request);
    if (!mainWindow_) return failed("Glimmora.scr: the windowed saver could not be created\n");
    return std::nullopt;
}

bool SaverShell::addMonitorWindow(HMONITOR monitor, const RECT& monitorRect) {
    MONITORINFO info{};
    info.cbSize = sizeof(MONITORINFO);
    // A monitor that cannot describe itself is not taken for the primary.
    bool primary = platform_.monitorInfo(monitor, info) && (info.dwFlags & MONITORINFOF_PRIMARY);
    if (!primary && !theSettings.multimon) return true;
    openMonitorWindow(monitorRect, primary);
    return theSettings.multimon;
}

HWND SaverShell::openMonitorWindow(const RECT& monitorRect, bool primary) {
    WindowRequest request;
    request.exStyle = primary ? 0 : WS_EX_TOPMOST;
    request.title = "Screensaver";
    request.style = fullScreenStyle;
    request.x = monitorRect.left;
    request.y = monitorRect.top;
    request.width = monitorRect.right - monitorRect.left;
    request.height = monitorRect.bottom - monitorRect.top;
    HWND window = platform_.createWindow(request);
    if (window) {
        fullScreenWindows_.push_back(window);
        if (primary) primaryWindow_ = window;
        platform_.bringToForeground(window);
    }
    return window;
}

