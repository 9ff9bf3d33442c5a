#include "platform/plain_window.h"

// Natively there is no window system: the handle is this object, which
// carries the size of the offscreen drawable and a stand-in refresh rate.
PlainWindow::PlainWindow(int width, int height, int refreshHz)
    : width_(width), height_(height), refreshHz_(refreshHz), handle_(this) {}

PlainWindow::~PlainWindow() = default;
