#pragma once
#include <windows.h>

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "shell/shell_display.h"

class ImageProvider;
class RandomImageProvider;

// From the close of the saver's windows to the end of the process, at most:
// what the user waits for after the input that ended the saver.
inline constexpr std::chrono::milliseconds kCloseGrace{700};

// One window the shell asks for: a full-screen window on a monitor, the
// preview child or the windowed test window.
struct WindowRequest {
    DWORD exStyle = 0;
    const char* title = "";
    DWORD style = 0;
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    HWND parent = nullptr;
};

// Everything the saver's window procedure and window setup ask of the
// system, in one place so that the stages and the monitor rules can be run
// against recorded calls and invented monitors. Win32ShellPlatform is the
// real one.
class ShellPlatform {
public:
    virtual ~ShellPlatform() = default;

    virtual void hideCursor() = 0;
    // Screen coordinates.
    virtual POINT cursorPosition() = 0;
    virtual void postQuit(int exitCode) = 0;
    virtual void postClose(HWND window) = 0;
    virtual LRESULT defaultProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) = 0;

    // The first saver window's duties.
    virtual void raiseMainThreadPriority() = 0;
    virtual void seedRandomFromClock() = 0;
    virtual std::unique_ptr<RandomImageProvider> makeProvider(
        const std::vector<std::string>& directories) = 0;
    virtual std::unique_ptr<ShellDisplay> makeDisplay(HWND window, ImageProvider* provider) = 0;
    // Non-zero when the saver may close.
    virtual int verifyPassword(HWND window) = 0;

    // Window setup.
    // The saver class, with the arrow cursor for the windowed test mode and
    // no cursor otherwise. False when the system refuses it.
    virtual bool registerSaverClass(bool arrowCursor) = 0;
    // A live full-screen saver of this or another process, or null.
    virtual HWND findRunningSaver() = 0;
    virtual bool isWindow(HWND window) = 0;
    // The parent's client rectangle.
    virtual RECT clientRect(HWND window) = 0;
    // Calls `visit` with each monitor and its rectangle until it returns false.
    virtual void enumerateMonitors(const std::function<bool(HMONITOR, const RECT&)>& visit) = 0;
    virtual bool monitorInfo(HMONITOR monitor, MONITORINFO& info) = 0;
    // Null when the window cannot be made.
    virtual HWND createWindow(const WindowRequest& request) = 0;
    virtual void bringToForeground(HWND window) = 0;
    virtual void makeTopmost(HWND window) = 0;
    virtual void destroyWindow(HWND window) = 0;
    // Takes a window off the screen at once, before anything slow happens.
    virtual void hideWindow(HWND window) = 0;
    // Takes the title from a window that is on its way out, so that no
    // later start finds it and takes it for a running saver.
    virtual void clearTitle(HWND window) = 0;

    // After a display change.
    // The monitor that holds most of `window`, or null when none does.
    virtual HMONITOR monitorOfWindow(HWND window) = 0;
    // Moves and sizes `window` to `rect` (screen coordinates).
    virtual void moveWindow(HWND window, const RECT& rect) = 0;

    // Asks for WM_POWERBROADCAST when the console's display turns off or
    // on; false when the system offers no such notification.
    virtual bool registerDisplayStateNotification(HWND window) = 0;
    virtual void unregisterDisplayStateNotification() = 0;

    // The end of the process.
    // From now on the process ends with `status` within the close's grace
    // (kCloseGrace) even if the main thread is held up; a second call
    // changes nothing.
    virtual void armGraceExit(int status) = 0;
    // Ends the process at once with `status`, running no static destructor:
    // a loader thread was left running.
    virtual void endProcess(int status) = 0;
};
