#include "shell/saver_shell.h"

#include "settings/settings.h"
#include "shell/display_state.h"

// The three stages of the saver window procedure: the saver's own messages,
// the Display of each window, and the platform's default rules of a screen
// saver (close on input, the password check).

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
        // A monitor that went (unplugged, or asleep as DisplayPort monitors
        // vanish) takes the cursor elsewhere: that is no mouse travel.
        cursorAnchor_ = platform_.cursorPosition();
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
        // Off the screen before the platform destroys the window: a window
        // manager may be waited for on the way (Wine waits for one), and
        // the loaders may take a moment to stop.
        beginClose();
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

