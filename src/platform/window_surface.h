#pragma once
#include <vector>

#include "platform/gl_context.h"

// One pixel format as the platform describes it, in portable terms.
struct PixelFormatDescription {
    bool supportsOpenGL = false;
    bool drawsToWindow = false;
    bool doubleBuffered = false;
    bool rgba = false;
    bool generic = false;              // the platform's software implementation
    bool genericAccelerated = false;   // ...accelerated by a driver
    int colorBits = 0;
    int depthBits = 0;
};

// The drawing surface of a saver window: its device context (released with
// this object), its pixel formats, its client size and its monitor's
// refresh rate. Natively the window is a NativeWindow: an X11 window (its
// size, visual and monitor rate read once, here) or an offscreen EGL
// drawable, with no formats to choose from in either case.
class WindowSurface {
public:
    explicit WindowSurface(void* window);
    ~WindowSurface();
    WindowSurface(const WindowSurface&) = delete;
    WindowSurface& operator=(const WindowSurface&) = delete;

    bool valid() const { return valid_; }
    // Where a context for this window draws.
    GLTarget target() const { return target_; }
    int width() const { return width_; }
    int height() const { return height_; }

    // Formats 1, 2, 3, ... in order, as many as the platform describes.
    std::vector<PixelFormatDescription> pixelFormats() const;
    // Sets format `index` (1-based) on the window.
    bool setPixelFormat(int index);
    // Lets the platform choose for a minimal request: double-buffered RGBA
    // on a window, 24-bit colour, 24-bit depth.
    bool setFallbackPixelFormat();
    // The format the window has, 0 for none (always 0 natively).
    int pixelFormat() const;
    // The rate the window's monitor reports, in Hz; 0 when it reports none.
    int refreshHz() const;

private:
    void* window_;
    GLTarget target_;
    int width_ = 0;
    int height_ = 0;
    bool valid_ = false;
    int refreshHz_ = 0;  // an X11 window's monitor, read at construction
};
