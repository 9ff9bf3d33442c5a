#include "platform/window_surface.h"

#include <windows.h>

namespace {

PixelFormatDescription describe(const PIXELFORMATDESCRIPTOR& pfd) {
    PixelFormatDescription d;
    d.supportsOpenGL = (pfd.dwFlags & PFD_SUPPORT_OPENGL) != 0;
    d.drawsToWindow = (pfd.dwFlags & PFD_DRAW_TO_WINDOW) != 0;
    d.doubleBuffered = (pfd.dwFlags & PFD_DOUBLEBUFFER) != 0;
    d.rgba = pfd.iPixelType == PFD_TYPE_RGBA;
    d.generic = (pfd.dwFlags & PFD_GENERIC_FORMAT) != 0;
    d.genericAccelerated = (pfd.dwFlags & PFD_GENERIC_ACCELERATED) != 0;
    d.colorBits = pfd.cColorBits;
    d.depthBits = pfd.cDepthBits;
    return d;
}

}  // namespace

WindowSurface::WindowSurface(void* window) : window_(window) {
    HWND hwnd = static_cast<HWND>(window);
    if (!hwnd) return;
    HDC dc = GetDC(hwnd);
    if (!dc) return;
    target_.deviceContext = dc;
    RECT client{};
    GetClientRect(hwnd, &client);
    width_ = client.right - client.left;
    height_ = client.bottom - client.top;
    target_.width = width_;
    target_.height = height_;
    valid_ = true;
}

WindowSurface::~WindowSurface() {
    if (target_.deviceContext)
        ReleaseDC(static_cast<HWND>(window_), static_cast<HDC>(target_.deviceContext));
}

std::vector<PixelFormatDescription> WindowSurface::pixelFormats() const {
    std::vector<PixelFormatDescription> formats;
    HDC dc = static_cast<HDC>(target_.deviceContext);
    if (!dc) return formats;
    for (int index = 1;; ++index) {
        PIXELFORMATDESCRIPTOR pfd{};
        if (DescribePixelFormat(dc, index, sizeof pfd, &pfd) == 0) break;
        formats.push_back(describe(pfd));
    }
    return formats;
}

bool WindowSurface::setPixelFormat(int index) {
    HDC dc = static_cast<HDC>(target_.deviceContext);
    PIXELFORMATDESCRIPTOR pfd{};
    if (!dc || DescribePixelFormat(dc, index, sizeof pfd, &pfd) == 0) return false;
    return SetPixelFormat(dc, index, &pfd) == TRUE;
}

bool WindowSurface::setFallbackPixelFormat() {
    HDC dc = static_cast<HDC>(target_.deviceContext);
    if (!dc) return false;
    PIXELFORMATDESCRIPTOR pfd{};
    pfd.nSize = sizeof pfd;
    pfd.nVersion = 1;
    pfd.dwFlags = PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL | PFD_DOUBLEBUFFER;
    pfd.iPixelType = PFD_TYPE_RGBA;
    pfd.cColorBits = 24;
    pfd.cDepthBits = 24;
    const int format = ChoosePixelFormat(dc, &pfd);
    return format != 0 && SetPixelFormat(dc, format, &pfd) == TRUE;
}

int WindowSurface::pixelFormat() const {
    HDC dc = static_cast<HDC>(target_.deviceContext);
    return dc ? GetPixelFormat(dc) : 0;
}

int WindowSurface::refreshHz() const {
    HMONITOR monitor = MonitorFromWindow(static_cast<HWND>(window_), MONITOR_DEFAULTTONEAREST);
    MONITORINFOEXA info{};
    info.cbSize = sizeof info;
    if (!monitor || !GetMonitorInfoA(monitor, &info)) return 0;
    DEVMODEA mode{};
    mode.dmSize = sizeof mode;
    mode.dmDriverExtra = 0;
    if (!EnumDisplaySettingsA(info.szDevice, ENUM_CURRENT_SETTINGS, &mode)) return 0;
    return static_cast<int>(mode.dmDisplayFrequency);
}
