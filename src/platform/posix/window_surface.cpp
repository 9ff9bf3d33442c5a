#include "platform/window_surface.h"

#include "platform/plain_window.h"

WindowSurface::WindowSurface(void* window) : window_(window) {
    const auto* plain = static_cast<const PlainWindow*>(window);
    if (!plain || plain->width() < 1 || plain->height() < 1) return;
    width_ = plain->width();
    height_ = plain->height();
    target_.width = width_;
    target_.height = height_;
    valid_ = true;
}

WindowSurface::~WindowSurface() = default;

// An EGL pbuffer has its configuration chosen with the context.
std::vector<PixelFormatDescription> WindowSurface::pixelFormats() const { return {}; }
bool WindowSurface::setPixelFormat(int) { return false; }
bool WindowSurface::setFallbackPixelFormat() { return valid_; }
int WindowSurface::pixelFormat() const { return 0; }

int WindowSurface::refreshHz() const {
    const auto* plain = static_cast<const PlainWindow*>(window_);
    return plain ? plain->refreshHz() : 0;
}
