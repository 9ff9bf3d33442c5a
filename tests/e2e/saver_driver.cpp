// Drives Glimmora.scr the way the platform does, for the end-to-end test
// script: starts it with a switch and reports its exit status exactly as
// GetExitCodeProcess gives it (a Unix status would show -1 as 255), makes a
// preview pane for it, and finds its windows by class and title.
//
//   saver_driver run SCR TIMEOUT_MS [SWITCH...]   prints "exit status N"
//   saver_driver preview SCR TIMEOUT_MS           prints what the pane held, the
//                                                  exit status and how long after
//                                                  the pane's destruction it came
//   saver_driver window CLASS TITLE TIMEOUT_MS     prints "window X Y W H"
//   saver_driver syscommand TITLE COMMAND          posts WM_SYSCOMMAND to it
//   saver_driver screen                            prints "screen W H"
//   saver_driver desktop TIMEOUT_MS                prints "screen W H", then keeps the
//                                                  prefix's desktop up until killed
// Exits 0 when the step worked, 1 when it did not, 2 on a time-out.
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

// Starts SCR with `switches`; the process handle or null.
HANDLE start(const char* scr, const std::string& switches) {
    std::string commandLine = std::string("\"") + scr + "\"";
    if (!switches.empty()) commandLine += " " + switches;
    STARTUPINFOA si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (!CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &si, &pi)) {
        std::printf("cannot start %s (error %lu)\n", commandLine.c_str(), GetLastError());
        return nullptr;
    }
    CloseHandle(pi.hThread);
    return pi.hProcess;
}

// Waits for the process while keeping this thread's windows alive.
bool waitPumping(HANDLE process, DWORD timeoutMs) {
    DWORD deadline = GetTickCount() + timeoutMs;
    for (;;) {
        DWORD now = GetTickCount();
        if (static_cast<LONG>(deadline - now) <= 0) return false;
        DWORD r = MsgWaitForMultipleObjects(1, &process, FALSE, deadline - now, QS_ALLINPUT);
        if (r == WAIT_OBJECT_0) return true;
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    }
}

int reportExit(HANDLE process, DWORD timeoutMs) {
    if (!waitPumping(process, timeoutMs)) {
        std::printf("still running after %lu ms\n", timeoutMs);
        std::fflush(stdout);
        return 2;
    }
    DWORD code = 0;
    GetExitCodeProcess(process, &code);
    CloseHandle(process);
    std::printf("exit status %ld\n", static_cast<long>(static_cast<LONG>(code)));
    return 0;
}

int run(int argc, char** argv) {
    if (argc < 4) return 1;
    std::string switches;
    for (int i = 4; i < argc; ++i) {
        if (i > 4) switches += ' ';
        switches += argv[i];
    }
    HANDLE process = start(argv[2], switches);
    if (!process) return 1;
    return reportExit(process, static_cast<DWORD>(std::atol(argv[3])));
}

LRESULT CALLBACK paneProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcA(window, message, wParam, lParam);
}

// A stand-in for the display settings' preview pane: a 152 by 112 client
// area holding whatever child the saver makes in it.
int preview(int argc, char** argv) {
    if (argc < 4) return 1;
    DWORD timeoutMs = static_cast<DWORD>(std::atol(argv[3]));
    WNDCLASSA wc{};
    wc.lpfnWndProc = paneProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "GlimmoraPreviewPane";
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    RegisterClassA(&wc);
    RECT frame{0, 0, 152, 112};
    AdjustWindowRect(&frame, WS_POPUP | WS_BORDER, FALSE);
    HWND pane = CreateWindowExA(0, wc.lpszClassName, "Preview pane", WS_POPUP | WS_BORDER | WS_VISIBLE,
                                20, 20, frame.right - frame.left, frame.bottom - frame.top, nullptr,
                                nullptr, wc.hInstance, nullptr);
    if (!pane) return 1;
    char number[32];
    std::snprintf(number, sizeof number, "/p %lu",
                  static_cast<unsigned long>(reinterpret_cast<std::uintptr_t>(pane)));
    HANDLE process = start(argv[2], number);
    if (!process) return 1;

    // Wait for the saver's child to appear in the pane; it shows once its
    // creation (and so its Display's) is complete.
    HWND child = nullptr;
    DWORD deadline = GetTickCount() + timeoutMs;
    while (static_cast<LONG>(deadline - GetTickCount()) > 0) {
        if (waitPumping(process, 100)) break;  // ended early
        child = FindWindowExA(pane, nullptr, "WindowsScreenSaverClass", nullptr);
        if (child && IsWindowVisible(child)) break;
    }
    if (!child) {
        std::printf("no saver child in the pane\n");
        DestroyWindow(pane);
        reportExit(process, 5000);
        return 1;
    }
    char title[64] = {}, className[64] = {};
    GetWindowTextA(child, title, sizeof title);
    GetClassNameA(child, className, sizeof className);
    RECT client{};
    GetClientRect(child, &client);
    LONG style = GetWindowLongA(child, GWL_STYLE);
    std::printf("child class \"%s\" title \"%s\" size %ld %ld child-style %d visible %d\n", className,
                title, client.right, client.bottom, (style & WS_CHILD) ? 1 : 0,
                IsWindowVisible(child) ? 1 : 0);
    // Let it render a while, as the pane would, then close the pane.
    waitPumping(process, 1500);
    const DWORD destroyed = GetTickCount();
    DestroyWindow(pane);
    const int result = reportExit(process, timeoutMs);
    if (result == 0)
        std::printf("ended %lu ms after the pane was destroyed\n", GetTickCount() - destroyed);
    return result;
}

int window(int argc, char** argv) {
    if (argc < 5) return 1;
    DWORD deadline = GetTickCount() + static_cast<DWORD>(std::atol(argv[4]));
    const char* className = std::strcmp(argv[2], "-") ? argv[2] : nullptr;
    do {
        if (HWND w = FindWindowA(className, argv[3])) {
            RECT r{};
            GetWindowRect(w, &r);
            std::printf("window %ld %ld %ld %ld\n", r.left, r.top, r.right - r.left, r.bottom - r.top);
            return 0;
        }
        Sleep(100);
    } while (static_cast<LONG>(deadline - GetTickCount()) > 0);
    std::printf("no window \"%s\"\n", argv[3]);
    return 2;
}

int syscommand(int argc, char** argv) {
    if (argc < 4) return 1;
    HWND w = FindWindowA("WindowsScreenSaverClass", argv[2]);
    if (!w) return 1;
    return PostMessageA(w, WM_SYSCOMMAND, static_cast<WPARAM>(std::strtoul(argv[3], nullptr, 0)), 0)
               ? 0
               : 1;
}

int screen() {
    std::printf("screen %d %d\n", GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN));
    return 0;
}

// A Wine program that finds no desktop starts one and waits at most 10 s for
// it; past that it goes on with Wine's null display (a 1024x768 screen that
// no X window shows). Holding the desktop from here keeps later programs
// from ever waiting for it.
int holdDesktop(int argc, char** argv) {
    if (argc < 3) return 1;
    screen();
    Sleep(static_cast<DWORD>(std::atol(argv[2])));
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    if (argc < 2) return 1;
    std::string command = argv[1];
    if (command == "run") return run(argc, argv);
    if (command == "preview") return preview(argc, argv);
    if (command == "window") return window(argc, argv);
    if (command == "syscommand") return syscommand(argc, argv);
    if (command == "screen") return screen();
    if (command == "desktop") return holdDesktop(argc, argv);
    return 1;
}
