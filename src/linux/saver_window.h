#pragma once
#include <memory>

#include "linux/launch_options.h"
#include "linux/window_geometry.h"
#include "platform/native_window.h"

class X11Connection;

// What happened to the window since the last look.
struct WindowEvents {
    bool close = false;    // q, Escape or the window manager's close; the window is gone
    bool resized = false;  // then width and height are its new size
    int width = 0;
    int height = 0;
};

// The window the slideshow draws into: one of its own covering the root
// (-window), or where -geometry puts it, or the root (the window manager's
// virtual root, __SWM_VROOT, when it has one) or someone else's window,
// which it only watches for size changes and never maps, moves or takes
// input from.
class SaverWindow {
public:
    // Null when the given window does not exist or none can be made.
    // `geometry` (may be null) is for the program's own window only.
    static std::unique_ptr<SaverWindow> open(X11Connection& connection, DrawTarget target,
                                             unsigned long windowId,
                                             const WindowGeometry* geometry = nullptr);
    ~SaverWindow();
    SaverWindow(const SaverWindow&) = delete;
    SaverWindow& operator=(const SaverWindow&) = delete;

    // What a Display takes as its window.
    void* handle() { return &native_; }
    bool ownWindow() const { return own_; }
    // Its size as last seen.
    int width() const { return width_; }
    int height() const { return height_; }
    // Reads every event that has arrived, without waiting.
    WindowEvents poll();
    // Takes the window off the screen at once when it is the program's own.
    void hide();

private:
    SaverWindow(X11Connection& connection, unsigned long window, bool own);

    X11Connection& connection_;
    NativeWindow native_;
    bool own_;
    unsigned long deleteAtom_ = 0;     // WM_DELETE_WINDOW
    unsigned long protocolsAtom_ = 0;  // WM_PROTOCOLS
    int width_ = 0;
    int height_ = 0;
};
