#include "platform/gl_context.h"

#include "platform/system_error.h"

#include <EGL/egl.h>
#include <EGL/eglext.h>

#include <mutex>

namespace {

// Mesa's surfaceless platform needs no window system; one display serves
// every context of the process and stays initialised until exit.
EGLDisplay sharedDisplay() {
    static EGLDisplay display = [] {
        EGLDisplay d = EGL_NO_DISPLAY;
        auto getPlatformDisplay = reinterpret_cast<PFNEGLGETPLATFORMDISPLAYEXTPROC>(
            eglGetProcAddress("eglGetPlatformDisplayEXT"));
        if (getPlatformDisplay)
            d = getPlatformDisplay(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
        if (d == EGL_NO_DISPLAY) d = eglGetDisplay(EGL_DEFAULT_DISPLAY);
        if (d != EGL_NO_DISPLAY && !eglInitialize(d, nullptr, nullptr)) d = EGL_NO_DISPLAY;
        return d;
    }();
    return display;
}

}  // namespace

struct GLContext::Impl {
    EGLDisplay display = EGL_NO_DISPLAY;
    EGLSurface surface = EGL_NO_SURFACE;
    EGLContext context = EGL_NO_CONTEXT;

    ~Impl() {
        if (context != EGL_NO_CONTEXT) {
            if (eglGetCurrentContext() == context)
                eglMakeCurrent(display, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
            eglDestroyContext(display, context);
        }
        if (surface != EGL_NO_SURFACE) eglDestroySurface(display, surface);
    }
};

GLContext::GLContext(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
GLContext::~GLContext() = default;

std::unique_ptr<GLContext> GLContext::create(const GLTarget& target, const GLContext* shareWith) {
    EGLDisplay display = sharedDisplay();
    if (display == EGL_NO_DISPLAY) return nullptr;
    if (!eglBindAPI(EGL_OPENGL_API)) return nullptr;

    const EGLint configAttributes[] = {
        EGL_SURFACE_TYPE, EGL_PBUFFER_BIT, EGL_RENDERABLE_TYPE, EGL_OPENGL_BIT,
        EGL_RED_SIZE, 8, EGL_GREEN_SIZE, 8, EGL_BLUE_SIZE, 8, EGL_ALPHA_SIZE, 8,
        EGL_DEPTH_SIZE, 16, EGL_NONE};
    EGLConfig config = nullptr;
    EGLint count = 0;
    if (!eglChooseConfig(display, configAttributes, &config, 1, &count) || count < 1)
        return nullptr;

    auto impl = std::make_unique<Impl>();
    impl->display = display;
    const EGLint surfaceAttributes[] = {EGL_WIDTH, target.width, EGL_HEIGHT, target.height,
                                        EGL_NONE};
    impl->surface = eglCreatePbufferSurface(display, config, surfaceAttributes);
    if (impl->surface == EGL_NO_SURFACE) return nullptr;

    const EGLContext share = shareWith ? shareWith->impl_->context : EGL_NO_CONTEXT;
    impl->context = eglCreateContext(display, config, share, nullptr);
    if (impl->context == EGL_NO_CONTEXT) {
        // Only a refused sharing is worth a line: the caller relies on it.
        if (share != EGL_NO_CONTEXT) reportSystemFailure("eglCreateContext");
        return nullptr;
    }
    return std::unique_ptr<GLContext>(new GLContext(std::move(impl)));
}

const char* const kMakeCurrentOperation = "eglMakeCurrent";

bool GLContext::makeCurrent() {
    return eglMakeCurrent(impl_->display, impl_->surface, impl_->surface, impl_->context) ==
           EGL_TRUE;
}

void GLContext::releaseCurrent() {
    EGLDisplay display = sharedDisplay();
    if (display != EGL_NO_DISPLAY)
        eglMakeCurrent(display, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
    // Each thread keeps EGL state of its own; let it go with the context.
    eglReleaseThread();
}

void GLContext::swapBuffers() { eglSwapBuffers(impl_->display, impl_->surface); }

GLOffscreenTarget::GLOffscreenTarget(int width, int height) {
    target_.width = width;
    target_.height = height;
    valid_ = sharedDisplay() != EGL_NO_DISPLAY;
}

GLOffscreenTarget::~GLOffscreenTarget() = default;
