#include "shell/win32_shell_platform.h"

#include "display/random.h"
#include "images/random_image_provider.h"
#include "platform/clock.h"
#include "platform/debug_output.h"
#include "platform/process_exit.h"
#include "platform/thread_priority.h"
#include "shell/display_binding.h"
#include "shell/display_state.h"
#include "shell/password_hooks.h"
#include "shell/saver_shell.h"
#include "shell/saver_window_class.h"

namespace {

LRESULT CALLBACK classWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    SaverShell* shell = SaverShell::active();
    if (!shell) return DefWindowProcA(window, message, wParam, lParam);
    // Nothing may unwind into the system's own frames.
    try {
        return shell->saverWindowProc(window, message, wParam, lParam);
    } catch (...) {
        debugOutput("Glimmora.scr: a saver window message failed\n");
        if (message == WM_CREATE) return -1;
        return DefWindowProcA(window, message, wParam, lParam);
    }
}

BOOL CALLBACK visitMonitor(HMONITOR monitor, HDC, LPRECT rect, LPARAM data) {
    const auto& visit = *reinterpret_cast<const std::function<bool(HMONITOR, const RECT&)>*>(data);
    return visit(monitor, *rect) ? TRUE : FALSE;
}

}  // namespace

void Win32ShellPlatform::hideCursor() { SetCursor(nullptr); }

POINT Win32ShellPlatform::cursorPosition() {
    POINT p{};
    GetCursorPos(&p);
    return p;
}

void Win32ShellPlatform::postQuit(int exitCode) { PostQuitMessage(exitCode); }

void Win32ShellPlatform::postClose(HWND window) { PostMessageA(window, WM_CLOSE, 0, 0); }

LRESULT Win32ShellPlatform::defaultProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcA(window, message, wParam, lParam);
}

void Win32ShellPlatform::raiseMainThreadPriority() {
    setCurrentThreadPriority(ThreadPriority::AboveNormal);
}

void Win32ShellPlatform::seedRandomFromClock() { seedRandom(millisecondClock()); }

std::unique_ptr<RandomImageProvider> Win32ShellPlatform::makeProvider(
    const std::vector<std::string>& directories) {
    // The first chunk is listed by the first loader: a folder on a sleeping
    // network drive must not hold up the window's creation.
    return std::make_unique<RandomImageProvider>(
        directories, RandomImageProvider::loadImageFileDecoder(),
        RandomImageProvider::FirstChunk::OnFirstPicture, PassMemory::forFolders(directories));
}

std::unique_ptr<ShellDisplay> Win32ShellPlatform::makeDisplay(HWND window, ImageProvider* provider) {
    return makeSaverDisplay(window, provider);
}

int Win32ShellPlatform::verifyPassword(HWND window) { return verifyScreenSaverPassword(window); }

bool Win32ShellPlatform::registerSaverClass(bool arrowCursor) {
    WNDCLASSA wc{};
    wc.style = CS_VREDRAW | CS_HREDRAW | CS_OWNDC;
    wc.lpfnWndProc = classWindowProc;
    wc.hInstance = instance_;
    wc.hIcon = LoadIconA(instance_, MAKEINTRESOURCEA(saverIconId));
    wc.hCursor = arrowCursor ? LoadCursorA(nullptr, MAKEINTRESOURCEA(32512)) : nullptr;  // IDC_ARROW
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
    wc.lpszClassName = saverClassName;
    return RegisterClassA(&wc) != 0;
}

HWND Win32ShellPlatform::findRunningSaver() { return FindWindowA(saverClassName, fullScreenTitle); }

bool Win32ShellPlatform::isWindow(HWND window) { return IsWindow(window) != FALSE; }

RECT Win32ShellPlatform::clientRect(HWND window) {
    RECT rect{};
    GetClientRect(window, &rect);
    return rect;
}

void Win32ShellPlatform::enumerateMonitors(
    const std::function<bool(HMONITOR, const RECT&)>& visit) {
    EnumDisplayMonitors(nullptr, nullptr, visitMonitor, reinterpret_cast<LPARAM>(&visit));
}

bool Win32ShellPlatform::monitorInfo(HMONITOR monitor, MONITORINFO& info) {
    return GetMonitorInfoA(monitor, &info) != FALSE;
}

HWND Win32ShellPlatform::createWindow(const WindowRequest& request) {
    return CreateWindowExA(request.exStyle, saverClassName, request.title, request.style, request.x,
                           request.y, request.width, request.height, request.parent, nullptr,
                           instance_, nullptr);
}

void Win32ShellPlatform::bringToForeground(HWND window) { SetForegroundWindow(window); }

void Win32ShellPlatform::makeTopmost(HWND window) {
    SetWindowPos(window, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
}

void Win32ShellPlatform::destroyWindow(HWND window) { DestroyWindow(window); }

void Win32ShellPlatform::hideWindow(HWND window) {
    // An empty window region rather than ShowWindow: hiding a full-screen
    // window may wait for the window manager (Wine waits two seconds when
    // there is none), and a region takes effect at once everywhere. The
    // system owns the region once it is set.
    if (HRGN nothing = CreateRectRgn(0, 0, 0, 0))
        if (!SetWindowRgn(window, nothing, TRUE)) DeleteObject(nothing);
}

void Win32ShellPlatform::clearTitle(HWND window) { SetWindowTextA(window, ""); }

HMONITOR Win32ShellPlatform::monitorOfWindow(HWND window) {
    return MonitorFromWindow(window, MONITOR_DEFAULTTONULL);
}

void Win32ShellPlatform::moveWindow(HWND window, const RECT& rect) {
    SetWindowPos(window, nullptr, rect.left, rect.top, rect.right - rect.left,
                 rect.bottom - rect.top, SWP_NOZORDER | SWP_NOACTIVATE);
}

bool Win32ShellPlatform::registerDisplayStateNotification(HWND window) {
    if (displayStateNotification_) return true;
    displayStateNotification_ = RegisterPowerSettingNotification(
        window, &consoleDisplayStateSetting, DEVICE_NOTIFY_WINDOW_HANDLE);
    return displayStateNotification_ != nullptr;
}

void Win32ShellPlatform::unregisterDisplayStateNotification() {
    if (!displayStateNotification_) return;
    UnregisterPowerSettingNotification(displayStateNotification_);
    displayStateNotification_ = nullptr;
}

void Win32ShellPlatform::armGraceExit(int status) { graceExit_.arm(kCloseGrace, status); }

void Win32ShellPlatform::endProcess(int status) { endProcessNow(status); }
