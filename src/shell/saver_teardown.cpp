#include "shell/saver_shell.h"

#include "loader/left_behind.h"

#include <algorithm>

// The end of the saver's windows and Displays: all at once at the close, or
// one window whose monitor went.

std::vector<HWND> SaverShell::saverWindows() const {
    std::vector<HWND> windows = fullScreenWindows_;
    if (mainWindow_ && !mainWindowGone_) windows.push_back(mainWindow_);
    return windows;
}

void SaverShell::hideAndStop(const std::vector<HWND>& windows) {
    // The user sees the desktop at once, before anything waits for a loader.
    for (HWND window : windows) platform_.hideWindow(window);
    // Whatever holds the main thread up from here, the process ends soon.
    platform_.armGraceExit(startFailed_ ? -1 : 0);
    // Every loader winds down in parallel before the first Display waits
    // for its own, and the bound runs for all of them together.
    for (auto& entry : displayList_) entry.display->requestLoaderStop();
}

void SaverShell::beginClose() {
    if (closing_) return;
    closing_ = true;
    hideAndStop(saverWindows());
}

void SaverShell::tearDownDisplays(HWND dying) {
    // The other windows' destruction messages come back here.
    if (tearingDown_) return;
    tearingDown_ = true;
    // The dying window lives until its Display has waited for its loader,
    // up to the whole bound.
    if (dying) platform_.clearTitle(dying);
    // No saver window outlives the close: a start meanwhile must not find
    // one and take it for a running saver.
    std::vector<HWND> windows = saverWindows();
    if (dying && std::find(windows.begin(), windows.end(), dying) == windows.end())
        windows.push_back(dying);
    hideAndStop(windows);
    const std::size_t leftBefore = left_behind::count();
    for (HWND window : windows)
        if (window != dying) platform_.destroyWindow(window);
    fullScreenWindows_.clear();
    mainWindowGone_ = true;
    for (auto& entry : displayList_) entry.display.reset();
    displayList_.clear();
    platform_.unregisterDisplayStateNotification();
    notificationWindow_ = nullptr;
    if (leftThreadsBehind_ || left_behind::count() > leftBefore) {
        // A thread left inside the provider must find it there.
        leftThreadsBehind_ = true;
        left_behind::keepAlso(std::shared_ptr<void>(std::move(provider_)));
    }
    provider_.reset();
    tearingDown_ = false;
}

void SaverShell::retireWindow(HWND window) {
    fullScreenWindows_.erase(std::remove(fullScreenWindows_.begin(), fullScreenWindows_.end(), window),
                             fullScreenWindows_.end());
    if (primaryWindow_ == window)
        primaryWindow_ = fullScreenWindows_.empty() ? nullptr : fullScreenWindows_.front();
    if (notificationWindow_ == window) {
        // The notices went to the retired window: a remaining one takes them.
        platform_.unregisterDisplayStateNotification();
        notificationWindow_ = nullptr;
        if (primaryWindow_ && platform_.registerDisplayStateNotification(primaryWindow_))
            notificationWindow_ = primaryWindow_;
    }
    const auto entry = std::find_if(displayList_.begin(), displayList_.end(),
                                    [window](const auto& e) { return e.window == window; });
    if (entry == displayList_.end()) return;
    const std::size_t leftBefore = left_behind::count();
    entry->display->requestLoaderStop();
    displayList_.erase(entry);
    if (left_behind::count() > leftBefore) leftThreadsBehind_ = true;
}


int SaverShell::finishRun(int status) {
    tearDownDisplays();
    if (leftThreadsBehind_) platform_.endProcess(status);
    return status;
}
