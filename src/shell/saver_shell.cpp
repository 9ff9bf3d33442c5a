#include "shell/saver_shell.h"

#include "loader/left_behind.h"
#include "platform/debug_output.h"
#include "settings/settings.h"
#include "shell/display_state.h"

#include <algorithm>

namespace {

SaverShell* activeShell = nullptr;

constexpr DWORD fullScreenStyle = WS_POPUP | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN;

std::optional<int> failed(const char* line) {
    debugOutput(line);
    return -1;
}

}  // namespace

SaverShell::SaverShell(ShellPlatform& platform) : platform_(platform) {}

SaverShell::~SaverShell() {
    tearDownDisplays();
    if (activeShell == this) activeShell = nullptr;
}

SaverShell* SaverShell::active() { return activeShell; }

void SaverShell::makeActive() { activeShell = this; }

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
        // the first destruction tears down every Display.
        for (HWND window : fullScreenWindows_) platform_.destroyWindow(window);
        fullScreenWindows_.clear();
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
    return theSettings.multimon;
}

LRESULT SaverShell::saverWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CREATE:
        // The windowed test mode is a window like any other: its cursor stays.
        if (!previewMode_ && !windowedMode_) platform_.hideCursor();
        cursorAnchor_ = platform_.cursorPosition();
        break;
    case WM_DESTROY:
        // A window retired with its monitor leaves the others running.
        if (window != retiring_) platform_.postQuit(0);
        break;
    case WM_DISPLAYCHANGE:
        refitToMonitors();
        break;
    case WM_POWERBROADCAST:
        if (const auto off = displayTurnedOff(wParam, lParam)) {
            setDisplayOff(*off);
            return TRUE;
        }
        break;
    case WM_SYSCOMMAND:
        if (previewMode_) break;
        switch (wParam & 0xFFF0) {
        case SC_NEXTWINDOW:
        case SC_PREVWINDOW:
        case SC_SCREENSAVE:
            return 0;
        case SC_MONITORPOWER:
            if ((lParam == 1 || lParam == 2) && !windowedMode_) monitorPowerSaving_ = true;
            break;
        }
        break;
    }
    return displayWindowHook(window, message, wParam, lParam);
}

LRESULT SaverShell::displayWindowHook(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_CREATE) {
        if (!provider_) {
            platform_.raiseMainThreadPriority();
            platform_.seedRandomFromClock();
            std::vector<std::string> directories = theSettings.directories;
            provider_ = platform_.makeProvider(directories);
            // Modern systems turn the monitor off without SC_MONITORPOWER.
            if (platform_.registerDisplayStateNotification(window)) notificationWindow_ = window;
        }
        if (auto display = platform_.makeDisplay(window, provider_.get()))
            displayList_.push_back({window, std::move(display)});
    } else if (message == WM_DESTROY) {
        if (window == retiring_) {
            retireWindow(window);
        } else {
            tearDownDisplays(window);
        }
    }
    return defaultSaverProc(window, message, wParam, lParam);
}

LRESULT SaverShell::defaultSaverProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (previewMode_) return platform_.defaultProc(window, message, wParam, lParam);
    if (message == WM_CLOSE) {
        monitorPowerSaving_ = false;
        if (!closeRequested_) return 0;
        if (!verifyPassword(window)) {
            // Measure the next mouse travel from where the refusal left it.
            cursorAnchor_ = platform_.cursorPosition();
            return 0;
        }
        return platform_.defaultProc(window, message, wParam, lParam);
    }
    if (passwordCheckActive_) return platform_.defaultProc(window, message, wParam, lParam);
    switch (message) {
    case WM_SHOWWINDOW:
        if (wParam && !windowedMode_) platform_.hideCursor();
        break;
    case WM_SETCURSOR:
        // The windowed test mode keeps the arrow and the sizing cursors the
        // platform default sets.
        if (windowedMode_) break;
        platform_.hideCursor();
        return 1;
    case WM_SYSKEYDOWN:
        requestClose(window);
        break;
    case WM_ACTIVATEAPP:
        // Another application was activated: keys would reach it behind a
        // topmost saver, so the full-screen run ends, as the platform's own
        // savers do.
        if (!wParam && !windowedMode_) requestClose(window);
        break;
    default:
        if (closesOnInput(message)) requestClose(window);
        break;
    }
    return platform_.defaultProc(window, message, wParam, lParam);
}

bool SaverShell::closesOnInput(UINT message) {
    if (windowedMode_) return false;
    switch (message) {
    case WM_KEYDOWN:
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
    case WM_XBUTTONDOWN:
    case WM_MOUSEWHEEL:
    case WM_MOUSEHWHEEL:
        return true;
    case WM_MOUSEMOVE:
        return mouseTravelledTooFar();
    default:
        return false;
    }
}

bool SaverShell::mouseTravelledTooFar() {
    // Screen coordinates, so that every monitor's window measures alike.
    POINT now = platform_.cursorPosition();
    long dx = now.x - cursorAnchor_.x;
    long dy = now.y - cursorAnchor_.y;
    return dx * dx + dy * dy > static_cast<long>(mouseTravelLimit) * mouseTravelLimit;
}

void SaverShell::requestClose(HWND window) {
    closeRequested_ = true;
    platform_.postClose(window);
}

int SaverShell::verifyPassword(HWND window) {
    // The platform's dialog runs its own modal loop on this thread; the
    // saver's windows leave its messages alone while it is up.
    passwordCheckActive_ = true;
    int result = platform_.verifyPassword(window);
    passwordCheckActive_ = false;
    return result;
}

void SaverShell::tearDownDisplays(HWND dying) {
    // The other windows' destruction messages come back here.
    if (tearingDown_) return;
    tearingDown_ = true;
    // The dying window lives until its Display has waited for its loader,
    // up to the whole bound.
    if (dying) platform_.clearTitle(dying);
    const std::size_t leftBefore = left_behind::count();
    // Every loader winds down in parallel before the first Display waits
    // for its own, and the bound runs for all of them together.
    for (auto& entry : displayList_) entry.display->requestLoaderStop();
    // No saver window outlives the close: a start meanwhile must not find
    // one and take it for a running saver.
    std::vector<HWND> others = fullScreenWindows_;
    if (mainWindow_ && !mainWindowGone_) others.push_back(mainWindow_);
    for (HWND window : others)
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

void SaverShell::refitToMonitors() {
    // The preview lives in its pane, the windowed test mode where it was put.
    if (previewMode_ || windowedMode_ || tearingDown_) return;
    auto fit = [this](HWND window, const RECT& rect) {
        platform_.moveWindow(window, rect);
        for (auto& entry : displayList_)
            if (entry.window == window) entry.display->fitToWindow();
    };
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
        fit(window, info.rcMonitor);
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
            fit(window, uncovered[next++]);
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
}

void SaverShell::setDisplayOff(bool off) {
    if (off == displayOff_) return;
    displayOff_ = off;
    for (auto& entry : displayList_) entry.display->pauseLoader(off);
}

void SaverShell::renderAllDisplays() {
    for (auto& entry : displayList_) entry.display->renderFrame();
}

int SaverShell::runMessageLoop(bool sleepWhenPowerSaving) {
    MSG msg;
    for (;;) {
        if (PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE)) {
            BOOL got = GetMessageA(&msg, nullptr, 0, 0);
            if (got == 0) return static_cast<int>(msg.wParam);
            if (got == -1) return -1;
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
            continue;
        }
        if (displayList_.empty() || displayOff_) {
            // Nothing to draw (every Display is gone, none could be made, or
            // the monitor is off): wait instead of spinning.
            WaitMessage();
            continue;
        }
        if (sleepWhenPowerSaving && monitorPowerSaving_) Sleep(1);
        renderAllDisplays();
    }
}
