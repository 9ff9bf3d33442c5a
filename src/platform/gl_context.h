#pragma once
#include <memory>

// Where a context draws. On Windows a window's device context whose pixel
// format is already set; under EGL an X11 window, or a pbuffer of the given
// size (on the X connection when one is given, else on no window system).
struct GLTarget {
    void* deviceContext = nullptr;  // HDC, Windows only
    int width = 1;                  // pbuffer size, EGL only
    int height = 1;
    void* nativeDisplay = nullptr;  // X connection (Display*), EGL only
    unsigned long nativeWindow = 0; // X11 window to draw into; 0 for a pbuffer
    unsigned long visualId = 0;     // that window's visual, to match its config
    int visualDepth = 0;            // that visual's depth: 32 when it has alpha
};

// One OpenGL 1.1 (compatibility) rendering context. A context created with
// another one to share with sees the same texture names.
class GLContext {
public:
    struct Impl;

    // Null when the platform refuses the context. A refused sharing is
    // reported on the debugger output ("wglShareLists Failed: ...").
    static std::unique_ptr<GLContext> create(const GLTarget& target,
                                             const GLContext* shareWith = nullptr);
    ~GLContext();
    GLContext(const GLContext&) = delete;
    GLContext& operator=(const GLContext&) = delete;

    // Binds this context and its drawable to the calling thread.
    bool makeCurrent();
    // Leaves the calling thread without a current context.
    static void releaseCurrent();
    void swapBuffers();

private:
    explicit GLContext(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> impl_;
};

// The platform's name for making a context current, for failure lines.
extern const char* const kMakeCurrentOperation;

#ifndef _WIN32
// Leaves the calling thread without a context on an X connection; call it
// once every context on it is gone, before the connection closes.
void releaseGLOnConnection(void* nativeDisplay);
#endif

#ifdef _WIN32
// Gives a window's device context (HDC) the first double-buffered RGBA
// format the driver offers with 24-bit colour, 8-bit alpha and a depth
// buffer. False when the driver has none or the format cannot be set.
bool setPlainPixelFormat(void* deviceContext);
#endif

// A small drawable of its own for contexts that draw off screen: a window
// with a plain RGBA double-buffered pixel format on Windows, nothing but a
// size under EGL. Used by tests and tools that have no saver window.
class GLOffscreenTarget {
public:
    GLOffscreenTarget(int width, int height);
    ~GLOffscreenTarget();
    GLOffscreenTarget(const GLOffscreenTarget&) = delete;
    GLOffscreenTarget& operator=(const GLOffscreenTarget&) = delete;

    bool valid() const { return valid_; }
    GLTarget target() const { return target_; }

private:
    GLTarget target_;
    [[maybe_unused]] void* window_ = nullptr;  // HWND, Windows only
    bool valid_ = false;
};
