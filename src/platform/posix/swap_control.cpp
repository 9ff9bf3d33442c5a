#include "platform/swap_control.h"

#include <EGL/egl.h>

namespace {

int setInterval(int interval) {
    EGLDisplay display = eglGetCurrentDisplay();
    return display != EGL_NO_DISPLAY && eglSwapInterval(display, interval) == EGL_TRUE;
}

}  // namespace

SwapControlEntryPoints findSwapControl() {
    SwapControlEntryPoints entryPoints;
    if (eglGetCurrentContext() != EGL_NO_CONTEXT) entryPoints.setInterval = setInterval;
    return entryPoints;
}
