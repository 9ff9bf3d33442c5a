#pragma once
#include "platform/grace_exit.h"
#include "shell/shell_platform.h"

// The real system behind the saver shell. The class window procedure hands
// every message to SaverShell::active().
class Win32ShellPlatform final : public ShellPlatform {
public:
    explicit Win32ShellPlatform(HINSTANCE instance) : instance_(instance) {}
    ~Win32ShellPlatform() override { unregisterDisplayStateNotification(); }
    Win32ShellPlatform(const Win32ShellPlatform&) = delete;
    Win32ShellPlatform& operator=(const Win32ShellPlatform&) = delete;

    void hideCursor() override;
    POINT cursorPosition() override;
    void postQuit(int exitCode) override;
    void postClose(HWND window) override;
    LRESULT defaultProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) override;

    void raiseMainThreadPriority() override;
    void seedRandomFromClock() override;
    std::unique_ptr<RandomImageProvider> makeProvider(
        const std::vector<std::string>& directories) override;
    std::unique_ptr<ShellDisplay> makeDisplay(HWND window, ImageProvider* provider) override;
    int verifyPassword(HWND window) override;

    bool registerSaverClass(bool arrowCursor) override;
    HWND findRunningSaver() override;
    bool isWindow(HWND window) override;
    RECT clientRect(HWND window) override;
    void enumerateMonitors(const std::function<bool(HMONITOR, const RECT&)>& visit) override;
    bool monitorInfo(HMONITOR monitor, MONITORINFO& info) override;
    HWND createWindow(const WindowRequest& request) override;
    void bringToForeground(HWND window) override;
    void makeTopmost(HWND window) override;
    void destroyWindow(HWND window) override;
    void hideWindow(HWND window) override;
    void clearTitle(HWND window) override;
    HMONITOR monitorOfWindow(HWND window) override;
    void moveWindow(HWND window, const RECT& rect) override;
    bool registerDisplayStateNotification(HWND window) override;
    void unregisterDisplayStateNotification() override;
    void armGraceExit(int status) override;
    void endProcess(int status) override;

private:
    HINSTANCE instance_;
    // Disarmed and joined when the platform goes, at the end of the run.
    GraceExit graceExit_;
    HPOWERNOTIFY displayStateNotification_ = nullptr;
};
