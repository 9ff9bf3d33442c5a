#include "platform/gl_context.h"

#include "platform/system_error.h"

#include <windows.h>

struct GLContext::Impl {
    HDC deviceContext = nullptr;
    HGLRC context = nullptr;

    ~Impl() {
        if (!context) return;
        if (wglGetCurrentContext() == context) wglMakeCurrent(nullptr, nullptr);
        wglDeleteContext(context);
    }
};

GLContext::GLContext(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
GLContext::~GLContext() = default;

std::unique_ptr<GLContext> GLContext::create(const GLTarget& target, const GLContext* shareWith) {
    auto impl = std::make_unique<Impl>();
    impl->deviceContext = static_cast<HDC>(target.deviceContext);
    if (!impl->deviceContext) return nullptr;
    impl->context = wglCreateContext(impl->deviceContext);
    if (!impl->context) return nullptr;
    // Sharing must be set up before the new context holds any objects.
    if (shareWith && !wglShareLists(shareWith->impl_->context, impl->context)) {
        reportSystemFailure("wglShareLists");
        return nullptr;
    }
    return std::unique_ptr<GLContext>(new GLContext(std::move(impl)));
}

const char* const kMakeCurrentOperation = "wglMakeCurrent";

bool GLContext::makeCurrent() {
    return wglMakeCurrent(impl_->deviceContext, impl_->context) == TRUE;
}

void GLContext::releaseCurrent() { wglMakeCurrent(nullptr, nullptr); }

void GLContext::swapBuffers() { SwapBuffers(impl_->deviceContext); }

bool setPlainPixelFormat(void* deviceContext) {
    HDC dc = static_cast<HDC>(deviceContext);
    PIXELFORMATDESCRIPTOR pfd{};
    pfd.nSize = sizeof pfd;
    pfd.nVersion = 1;
    pfd.dwFlags = PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL | PFD_DOUBLEBUFFER;
    pfd.iPixelType = PFD_TYPE_RGBA;
    pfd.cColorBits = 24;
    pfd.cAlphaBits = 8;
    pfd.cDepthBits = 16;
    pfd.iLayerType = PFD_MAIN_PLANE;
    const int format = ChoosePixelFormat(dc, &pfd);
    return format != 0 && SetPixelFormat(dc, format, &pfd);
}

namespace {

const char kOffscreenClass[] = "GlimmoraOffscreenGL";

ATOM registerOffscreenClass() {
    static const ATOM atom = [] {
        WNDCLASSA wc{};
        wc.style = CS_OWNDC;
        wc.lpfnWndProc = DefWindowProcA;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.lpszClassName = kOffscreenClass;
        return RegisterClassA(&wc);
    }();
    return atom;
}

}  // namespace

GLOffscreenTarget::GLOffscreenTarget(int width, int height) {
    target_.width = width;
    target_.height = height;
    if (!registerOffscreenClass()) return;
    // A plain popup window at the corner of the screen: a window that was
    // never shown may have no back buffer to read from on some drivers.
    HWND window = CreateWindowExA(WS_EX_TOOLWINDOW, kOffscreenClass, "Glimmora GL",
                                  WS_POPUP | WS_VISIBLE, 0, 0, width, height, nullptr, nullptr,
                                  GetModuleHandleA(nullptr), nullptr);
    if (!window) return;
    window_ = window;
    HDC dc = GetDC(window);
    if (!setPlainPixelFormat(dc)) return;
    target_.deviceContext = dc;
    valid_ = true;
}

GLOffscreenTarget::~GLOffscreenTarget() {
    // The class has CS_OWNDC: the device context goes with the window.
    if (window_) DestroyWindow(static_cast<HWND>(window_));
}
