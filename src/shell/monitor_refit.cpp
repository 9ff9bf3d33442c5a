#include "shell/saver_shell.h"

#include "settings/settings.h"

#include <algorithm>

// The full-screen windows after a display change: each on a monitor again,
// and every monitor in use with a window.

void SaverShell::fitWindow(HWND window, const RECT& rect) {
    platform_.moveWindow(window, rect);
    for (auto& entry : displayList_)
        if (entry.window == window) entry.display->fitToWindow();
}

bool SaverShell::followPrimaryMonitor() {
    std::optional<RECT> primary;
    platform_.enumerateMonitors([&](HMONITOR monitor, const RECT& rect) {
        MONITORINFO info{};
        info.cbSize = sizeof(MONITORINFO);
        if (platform_.monitorInfo(monitor, info) && (info.dwFlags & MONITORINFOF_PRIMARY))
            primary = rect;
        return !primary;
    });
    if (!primary) return false;
    for (HWND window : fullScreenWindows_) fitWindow(window, *primary);
    return true;
}

void SaverShell::refitToMonitors() {
    // The preview lives in its pane, the windowed test mode where it was put.
    if (previewMode_ || windowedMode_ || tearingDown_) return;
    // One monitor used: the saver's window is on the primary one, wherever
    // that is now.
    if (!theSettings.multimon && followPrimaryMonitor()) return;
    // Each window keeps the monitor that holds most of it, unless an earlier
    // window took that one (monitors rearranged under them).
    std::vector<HMONITOR> taken;
    auto isTaken = [&taken](HMONITOR m) { return std::find(taken.begin(), taken.end(), m) != taken.end(); };
    std::vector<HWND> homeless;
    for (HWND window : std::vector<HWND>(fullScreenWindows_)) {
        MONITORINFO info{};
        info.cbSize = sizeof(MONITORINFO);
        const HMONITOR monitor = platform_.monitorOfWindow(window);
        if (!monitor || isTaken(monitor) || !platform_.monitorInfo(monitor, info)) {
            homeless.push_back(window);
            continue;
        }
        taken.push_back(monitor);
        fitWindow(window, info.rcMonitor);
    }
    // Those left over go to monitors no window covers.
    std::vector<RECT> uncovered;
    platform_.enumerateMonitors([&](HMONITOR monitor, const RECT& rect) {
        if (!isTaken(monitor)) uncovered.push_back(rect);
        return true;
    });
    std::size_t next = 0;
    for (HWND window : homeless) {
        if (next < uncovered.size()) {
            fitWindow(window, uncovered[next++]);
            continue;
        }
        // Its monitor is gone; the last window stays, whatever it covers.
        if (fullScreenWindows_.size() > 1) {
            retiring_ = window;
            platform_.destroyWindow(window);
            retiring_ = nullptr;
            retireWindow(window);
        }
    }
    // Monitors added while the saver runs get a window of their own, made
    // on top like every window beside the primary one's.
    if (theSettings.multimon)
        for (; next < uncovered.size(); ++next) openMonitorWindow(uncovered[next], false);
}
