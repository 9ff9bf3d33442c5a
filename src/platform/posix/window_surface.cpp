#include "platform/window_surface.h"

#include "platform/native_window.h"
#include "platform/posix/x_error_trap.h"

#include <X11/Xlib.h>
#include <X11/extensions/Xrandr.h>

#include <cmath>

namespace {

// The window's size and visual; false when the window does not exist.
bool readAttributes(::Display* x, Window window, XWindowAttributes& attributes) {
    XErrorTrap trap(x);
    const Status status = XGetWindowAttributes(x, window, &attributes);
    return trap.succeeded() && status != 0;
}

// The rate of the monitor that holds the window's centre, from RandR's
// current modes; 0 when none says (a virtual server reports no timings).
int monitorRate(::Display* x, Window window, const XWindowAttributes& attributes) {
    int eventBase = 0;
    int errorBase = 0;
    if (!XRRQueryExtension(x, &eventBase, &errorBase)) return 0;
    int cx = 0;
    int cy = 0;
    Window child = 0;
    if (!XTranslateCoordinates(x, window, attributes.root, attributes.width / 2,
                               attributes.height / 2, &cx, &cy, &child))
        return 0;
    XRRScreenResources* resources = XRRGetScreenResourcesCurrent(x, attributes.root);
    if (!resources) return 0;
    int rate = 0;
    for (int c = 0; c < resources->ncrtc && rate == 0; ++c) {
        XRRCrtcInfo* crtc = XRRGetCrtcInfo(x, resources, resources->crtcs[c]);
        if (!crtc) continue;
        const bool holds = crtc->mode != 0 && cx >= crtc->x && cy >= crtc->y &&
                           cx < crtc->x + static_cast<int>(crtc->width) &&
                           cy < crtc->y + static_cast<int>(crtc->height);
        for (int m = 0; holds && m < resources->nmode; ++m) {
            const XRRModeInfo& mode = resources->modes[m];
            if (mode.id != crtc->mode || mode.hTotal == 0 || mode.vTotal == 0) continue;
            double lines = mode.vTotal;
            if (mode.modeFlags & RR_DoubleScan) lines *= 2;
            if (mode.modeFlags & RR_Interlace) lines /= 2;
            rate = static_cast<int>(std::lround(mode.dotClock / (mode.hTotal * lines)));
        }
        XRRFreeCrtcInfo(crtc);
    }
    XRRFreeScreenResources(resources);
    return rate;
}

}  // namespace

WindowSurface::WindowSurface(void* window) : window_(window) {
    const auto* native = static_cast<const NativeWindow*>(window);
    if (!native) return;
    if (!native->xDisplay) {
        if (native->width < 1 || native->height < 1) return;
        width_ = native->width;
        height_ = native->height;
        target_.width = width_;
        target_.height = height_;
        valid_ = true;
        return;
    }
    auto* x = static_cast<::Display*>(native->xDisplay);
    XWindowAttributes attributes{};
    if (!readAttributes(x, native->xWindow, attributes)) return;
    if (attributes.width < 1 || attributes.height < 1 || !attributes.visual) return;
    width_ = attributes.width;
    height_ = attributes.height;
    target_.nativeDisplay = native->xDisplay;
    target_.nativeWindow = native->xWindow;
    target_.visualId = XVisualIDFromVisual(attributes.visual);
    target_.visualDepth = attributes.depth;
    refreshHz_ = monitorRate(x, native->xWindow, attributes);
    valid_ = true;
}

WindowSurface::~WindowSurface() = default;

// EGL chooses its configuration with the context, matching the window's
// visual; there is no format to set on the window.
std::vector<PixelFormatDescription> WindowSurface::pixelFormats() const { return {}; }
bool WindowSurface::setPixelFormat(int) { return false; }
bool WindowSurface::setFallbackPixelFormat() { return valid_; }
int WindowSurface::pixelFormat() const { return 0; }

int WindowSurface::refreshHz() const {
    const auto* native = static_cast<const NativeWindow*>(window_);
    if (!native) return 0;
    return native->xDisplay ? refreshHz_ : native->refreshHz;
}
