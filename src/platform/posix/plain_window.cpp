#include "platform/plain_window.h"

// Without a window system the handle describes an offscreen drawable: its
// size and a stand-in refresh rate.
PlainWindow::PlainWindow(int width, int height, int refreshHz)
    : width_(width), height_(height), refreshHz_(refreshHz) {
    native_.width = width;
    native_.height = height;
    native_.refreshHz = refreshHz;
    handle_ = &native_;
}

PlainWindow::~PlainWindow() = default;
