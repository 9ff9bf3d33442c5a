#pragma once

// What a window handle points to on Linux, where there is no HWND: an X11
// window to draw into, or, without an X connection, an offscreen drawable
// of a size (tests and benchmarks). Windows passes HWNDs instead.
struct NativeWindow {
    void* xDisplay = nullptr;   // the X connection (Display*); null for offscreen
    unsigned long xWindow = 0;  // the X11 window, when xDisplay is set
    int width = 0;              // the offscreen drawable's size
    int height = 0;
    int refreshHz = 0;          // offscreen stand-in for the monitor's rate
};
