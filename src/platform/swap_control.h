#pragma once

// The swap-interval entry points of the context current on the calling
// thread, null where the platform offers none. On Windows they exist when
// the context lists "WGL_EXT_swap_control" and the driver resolves them;
// under EGL the interval is core, but it cannot be read back.
struct SwapControlEntryPoints {
    int (*setInterval)(int interval) = nullptr;  // non-zero on success
    int (*getInterval)() = nullptr;
};

SwapControlEntryPoints findSwapControl();
