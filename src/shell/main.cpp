// Process entry. The windowed test mode opens a black window that a system
// key closes; "/c" and an empty command line open the configuration dialog.
#include "platform/gl.h"
#include "platform/gl_context.h"
#include "settings/settings.h"

#include <cctype>
#include <memory>

namespace {

LRESULT CALLBACK windowedProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_SYSKEYDOWN:
        PostMessageA(window, WM_CLOSE, 0, 0);
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    default:
        return DefWindowProcA(window, message, wParam, lParam);
    }
}

int runWindowed(HINSTANCE instance) {
    WNDCLASSA wc{};
    wc.style = CS_OWNDC;
    wc.lpfnWndProc = windowedProc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    wc.lpszClassName = "WindowsScreenSaverClass";
    if (!RegisterClassA(&wc)) return 1;
    HWND window = CreateWindowExA(0, wc.lpszClassName, "Windowed Screensaver",
                                  WS_OVERLAPPEDWINDOW | WS_VISIBLE, CW_USEDEFAULT, CW_USEDEFAULT,
                                  800, 600, nullptr, nullptr, instance, nullptr);
    if (!window) return 1;
    HDC dc = GetDC(window);
    setPlainPixelFormat(dc);
    GLTarget target;
    target.deviceContext = dc;
    std::unique_ptr<GLContext> context = GLContext::create(target);
    if (context) context->makeCurrent();

    MSG msg;
    for (;;) {
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) {
                GLContext::releaseCurrent();
                return 0;
            }
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        if (context) {
            glClearColor(0, 0, 0, 1);
            glClear(GL_COLOR_BUFFER_BIT);
            context->swapBuffers();
        }
        Sleep(15);
    }
}

// The switch letter: the first letter after any '/' or '-' and blanks.
char modeSwitch(const char* commandLine) {
    for (const char* p = commandLine; *p; ++p) {
        if (*p == '/' || *p == '-' || *p == ' ' || *p == '\t') continue;
        return static_cast<char>(std::tolower(static_cast<unsigned char>(*p)));
    }
    return 0;
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int) {
    switch (modeSwitch(commandLine)) {
    case 'w':
        return runWindowed(instance);
    // The display settings' Settings button starts "/c"; the dialog belongs
    // to whatever window is in front. An empty command line (a double-click
    // on the file) opens it with no owner.
    case 'c':
        return theSettings.showDialog(GetForegroundWindow());
    case 0:
        return theSettings.showDialog(nullptr);
    default:
        return 0;
    }
}
