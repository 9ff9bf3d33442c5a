#include "platform/gl_context.h"

#include "platform/system_error.h"

#include <EGL/egl.h>
#include <EGL/eglext.h>

#include <vector>

// EGL rather than GLX on X11: the offscreen contexts of the tests already
// use EGL, so one binding serves windows, the loader's pbuffers and the
// surfaceless contexts alike, and its contexts share names as WGL's do.

namespace {

PFNEGLGETPLATFORMDISPLAYEXTPROC platformDisplayEntry() {
    static const auto entry = reinterpret_cast<PFNEGLGETPLATFORMDISPLAYEXTPROC>(
        eglGetProcAddress("eglGetPlatformDisplayEXT"));
    return entry;
}

// Mesa's surfaceless platform needs no window system; one display serves
// every offscreen context of the process and stays initialised until exit.
EGLDisplay surfacelessDisplay() {
    static EGLDisplay display = [] {
        EGLDisplay d = EGL_NO_DISPLAY;
        if (auto getPlatformDisplay = platformDisplayEntry())
            d = getPlatformDisplay(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
        if (d == EGL_NO_DISPLAY) d = eglGetDisplay(EGL_DEFAULT_DISPLAY);
        if (d != EGL_NO_DISPLAY && !eglInitialize(d, nullptr, nullptr)) d = EGL_NO_DISPLAY;
        return d;
    }();
    return display;
}

// The EGL display of an X connection. EGL hands out one per connection, and
// initialising it again is harmless, so every context on the connection
// shares one display (as sharing requires).
EGLDisplay connectionDisplay(void* nativeDisplay) {
    auto getPlatformDisplay = platformDisplayEntry();
    if (!getPlatformDisplay) return EGL_NO_DISPLAY;
    EGLDisplay d = getPlatformDisplay(EGL_PLATFORM_X11_KHR, nativeDisplay, nullptr);
    if (d != EGL_NO_DISPLAY && !eglInitialize(d, nullptr, nullptr)) d = EGL_NO_DISPLAY;
    return d;
}

EGLDisplay displayFor(const GLTarget& target) {
    return target.nativeDisplay ? connectionDisplay(target.nativeDisplay) : surfacelessDisplay();
}

// A window's config must render to the window's own visual. No depth
// buffer is asked for: the slideshow draws without depth testing.
//
// The platform may offer no config of the window's visual: Mesa's X11
// platform lists depth-24 visuals only, while XScreenSaver gives a GL hack
// a depth-32 window when its GL visual helper is missing. A config whose
// buffer has the window's depth is taken then (alpha for a depth-32
// window), else the first: the window's pixels are the buffer's, alpha
// byte and all, so a depth-32 window shows the alpha the frames keep at 1
// rather than whatever a buffer without alpha leaves in that byte.
EGLConfig windowConfig(EGLDisplay display, unsigned long visualId, int visualDepth) {
    const EGLint attributes[] = {EGL_SURFACE_TYPE, EGL_WINDOW_BIT, EGL_RENDERABLE_TYPE,
                                 EGL_OPENGL_BIT, EGL_RED_SIZE, 8, EGL_GREEN_SIZE, 8,
                                 EGL_BLUE_SIZE, 8, EGL_NONE};
    EGLint count = 0;
    if (!eglChooseConfig(display, attributes, nullptr, 0, &count) || count < 1) return nullptr;
    std::vector<EGLConfig> configs(static_cast<std::size_t>(count));
    if (!eglChooseConfig(display, attributes, configs.data(), count, &count) || count < 1)
        return nullptr;
    configs.resize(static_cast<std::size_t>(count));
    auto attribute = [display](EGLConfig config, EGLint name) {
        EGLint value = 0;
        return eglGetConfigAttrib(display, config, name, &value) ? value : -1;
    };
    EGLConfig sameDepth = nullptr;
    for (EGLConfig config : configs) {
        if (static_cast<unsigned long>(attribute(config, EGL_NATIVE_VISUAL_ID)) == visualId)
            return config;
        if (!sameDepth && attribute(config, EGL_BUFFER_SIZE) == visualDepth) sameDepth = config;
    }
    return sameDepth ? sameDepth : configs.front();
}

EGLConfig pbufferConfig(EGLDisplay display) {
    const EGLint attributes[] = {
        EGL_SURFACE_TYPE, EGL_PBUFFER_BIT, EGL_RENDERABLE_TYPE, EGL_OPENGL_BIT,
        EGL_RED_SIZE, 8, EGL_GREEN_SIZE, 8, EGL_BLUE_SIZE, 8, EGL_ALPHA_SIZE, 8,
        EGL_DEPTH_SIZE, 16, EGL_NONE};
    EGLConfig config = nullptr;
    EGLint count = 0;
    if (!eglChooseConfig(display, attributes, &config, 1, &count) || count < 1) return nullptr;
    return config;
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
    EGLDisplay display = displayFor(target);
    if (display == EGL_NO_DISPLAY) return nullptr;
    if (!eglBindAPI(EGL_OPENGL_API)) return nullptr;
    // Names are shared only within one EGL display.
    if (shareWith && shareWith->impl_->display != display) {
        reportSystemFailure("eglCreateContext");
        return nullptr;
    }

    const bool onWindow = target.nativeDisplay && target.nativeWindow;
    EGLConfig config = onWindow ? windowConfig(display, target.visualId, target.visualDepth) : pbufferConfig(display);
    if (!config) return nullptr;

    auto impl = std::make_unique<Impl>();
    impl->display = display;
    if (onWindow) {
        impl->surface = eglCreateWindowSurface(
            display, config, static_cast<EGLNativeWindowType>(target.nativeWindow), nullptr);
    } else {
        const EGLint surfaceAttributes[] = {EGL_WIDTH, target.width, EGL_HEIGHT, target.height,
                                            EGL_NONE};
        impl->surface = eglCreatePbufferSurface(display, config, surfaceAttributes);
    }
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
    // Whichever display the thread's context belongs to.
    EGLDisplay display = eglGetCurrentDisplay();
    if (display != EGL_NO_DISPLAY)
        eglMakeCurrent(display, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
    // Each thread keeps EGL state of its own; let it go with the context.
    eglReleaseThread();
}

void GLContext::swapBuffers() { eglSwapBuffers(impl_->display, impl_->surface); }

void releaseGLOnConnection(void* nativeDisplay) {
    if (!nativeDisplay) return;
    auto getPlatformDisplay = platformDisplayEntry();
    if (!getPlatformDisplay) return;
    EGLDisplay d = getPlatformDisplay(EGL_PLATFORM_X11_KHR, nativeDisplay, nullptr);
    if (d == EGL_NO_DISPLAY) return;
    if (eglGetCurrentDisplay() == d)
        eglMakeCurrent(d, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
    // EGL's display of the connection is not terminated: that unloads the
    // driver, whose remaining allocations would then be reported as leaks
    // nobody can name. Nothing calls into it after this.
    eglReleaseThread();
}

GLOffscreenTarget::GLOffscreenTarget(int width, int height) {
    target_.width = width;
    target_.height = height;
    valid_ = surfacelessDisplay() != EGL_NO_DISPLAY;
}

GLOffscreenTarget::~GLOffscreenTarget() = default;
