#include "platform/plain_window.h"

#include <windows.h>

namespace {

const char kPlainWindowClass[] = "GlimmoraPlainWindow";

bool registerPlainWindowClass() {
    static const bool registered = [] {
        WNDCLASSA wc{};
        wc.style = CS_OWNDC;
        wc.lpfnWndProc = DefWindowProcA;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
        wc.lpszClassName = kPlainWindowClass;
        return RegisterClassA(&wc) != 0;
    }();
    return registered;
}

}  // namespace

PlainWindow::PlainWindow(int width, int height, int refreshHz)
    : width_(width), height_(height), refreshHz_(refreshHz) {
    if (!registerPlainWindowClass()) return;
    handle_ = CreateWindowExA(WS_EX_TOOLWINDOW, kPlainWindowClass, "Glimmora Display",
                              WS_POPUP | WS_VISIBLE, 0, 0, width, height, nullptr, nullptr,
                              GetModuleHandleA(nullptr), nullptr);
}

PlainWindow::~PlainWindow() {
    if (handle_) DestroyWindow(static_cast<HWND>(handle_));
}
