#include "linux/saver_window.h"

#include "linux/x11_connection.h"
#include "platform/posix/x_error_trap.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>

namespace {

::Display* xDisplay(X11Connection& connection) {
    return static_cast<::Display*>(connection.handle());
}

bool readAttributes(::Display* x, Window window, XWindowAttributes& attributes) {
    XErrorTrap trap(x);
    const Status status = XGetWindowAttributes(x, window, &attributes);
    return trap.succeeded() && status != 0;
}

// Structure changes of a foreign window, selected while errors are caught:
// the window may go between the look and the request.
bool watchWindow(::Display* x, Window window) {
    XErrorTrap trap(x);
    XSelectInput(x, window, StructureNotifyMask);
    return trap.succeeded();
}

}  // namespace

std::unique_ptr<SaverWindow> SaverWindow::open(X11Connection& connection, DrawTarget target,
                                               unsigned long windowId) {
    ::Display* x = xDisplay(connection);
    const Window root = DefaultRootWindow(x);
    XWindowAttributes rootAttributes{};
    if (!readAttributes(x, root, rootAttributes)) return nullptr;

    if (target != DrawTarget::OwnWindow) {
        const Window window = target == DrawTarget::Root ? root : windowId;
        XWindowAttributes attributes{};
        if (!readAttributes(x, window, attributes) || !watchWindow(x, window)) return nullptr;
        std::unique_ptr<SaverWindow> saver(new SaverWindow(connection, window, false));
        saver->width_ = attributes.width;
        saver->height_ = attributes.height;
        return saver;
    }

    // One window over the whole root, every monitor included.
    XSetWindowAttributes attributes{};
    attributes.background_pixel = BlackPixel(x, DefaultScreen(x));
    attributes.event_mask = KeyPressMask | StructureNotifyMask;
    const Window window = XCreateWindow(
        x, root, 0, 0, static_cast<unsigned>(rootAttributes.width),
        static_cast<unsigned>(rootAttributes.height), 0, CopyFromParent, InputOutput,
        CopyFromParent, CWBackPixel | CWEventMask, &attributes);
    if (!window) return nullptr;
    std::unique_ptr<SaverWindow> saver(new SaverWindow(connection, window, true));
    saver->width_ = rootAttributes.width;
    saver->height_ = rootAttributes.height;
    XStoreName(x, window, "Glimmora");
    XClassHint classHint{};
    char name[] = "glimmora";
    char className[] = "Glimmora";
    classHint.res_name = name;
    classHint.res_class = className;
    XSetClassHint(x, window, &classHint);
    Atom deleteAtom = XInternAtom(x, "WM_DELETE_WINDOW", False);
    XSetWMProtocols(x, window, &deleteAtom, 1);
    saver->deleteAtom_ = deleteAtom;
    saver->protocolsAtom_ = XInternAtom(x, "WM_PROTOCOLS", False);
    // Under a window manager: no frame, and above the panels.
    Atom fullScreen = XInternAtom(x, "_NET_WM_STATE_FULLSCREEN", False);
    XChangeProperty(x, window, XInternAtom(x, "_NET_WM_STATE", False), XA_ATOM, 32,
                    PropModeReplace, reinterpret_cast<unsigned char*>(&fullScreen), 1);
    XMapRaised(x, window);
    XSync(x, False);
    return saver;
}

SaverWindow::SaverWindow(X11Connection& connection, unsigned long window, bool own)
    : connection_(connection), own_(own) {
    native_.xDisplay = connection.handle();
    native_.xWindow = window;
}

SaverWindow::~SaverWindow() {
    ::Display* x = xDisplay(connection_);
    if (own_) {
        XDestroyWindow(x, native_.xWindow);
    } else {
        // Leave the foreign window's events to their owner.
        XErrorTrap trap(x);
        XSelectInput(x, native_.xWindow, NoEventMask);
    }
    XFlush(x);
}

void SaverWindow::hide() {
    if (!own_) return;
    ::Display* x = xDisplay(connection_);
    XUnmapWindow(x, native_.xWindow);
    XFlush(x);
}

WindowEvents SaverWindow::poll() {
    ::Display* x = xDisplay(connection_);
    WindowEvents events;
    while (XPending(x) > 0) {
        XEvent event;
        XNextEvent(x, &event);
        switch (event.type) {
        case ConfigureNotify:
            if (event.xconfigure.window == native_.xWindow &&
                (event.xconfigure.width != width_ || event.xconfigure.height != height_)) {
                width_ = event.xconfigure.width;
                height_ = event.xconfigure.height;
                events.resized = true;
            }
            break;
        case DestroyNotify:
            // Whoever owned the window is done with the saver.
            if (event.xdestroywindow.window == native_.xWindow) events.close = true;
            break;
        case ClientMessage:
            if (own_ && event.xclient.message_type == protocolsAtom_ &&
                static_cast<unsigned long>(event.xclient.data.l[0]) == deleteAtom_)
                events.close = true;
            break;
        case KeyPress: {
            if (!own_) break;
            char text[8] = {};
            KeySym key = NoSymbol;
            XLookupString(&event.xkey, text, sizeof text, &key, nullptr);
            if (key == XK_Escape || key == XK_q || key == XK_Q) events.close = true;
            break;
        }
        default:
            break;
        }
    }
    events.width = width_;
    events.height = height_;
    return events;
}
