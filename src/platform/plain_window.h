#pragma once

#ifndef _WIN32
#include "platform/native_window.h"
#endif

// A window for a Display outside the saver shell (tests, benchmarks): on
// Windows a visible popup window at the screen's corner with no pixel
// format yet; natively an offscreen EGL drawable of the given size. Its
// handle is what a Display takes as its window.
class PlainWindow {
public:
    // `refreshHz` stands in for the monitor's reported rate natively; on
    // Windows the real monitor's rate applies.
    PlainWindow(int width, int height, int refreshHz = 0);
    ~PlainWindow();
    PlainWindow(const PlainWindow&) = delete;
    PlainWindow& operator=(const PlainWindow&) = delete;

    // HWND on Windows, a NativeWindow natively; null if creation failed.
    void* handle() const { return handle_; }
    int width() const { return width_; }
    int height() const { return height_; }
    int refreshHz() const { return refreshHz_; }

private:
    int width_;
    int height_;
    int refreshHz_;
    void* handle_ = nullptr;
#ifndef _WIN32
    NativeWindow native_;  // what handle_ points to: an offscreen size
#endif
};
