#include "linux/saver_window.h"

#include "linux/x11_connection.h"
#include "platform/posix/x_error_trap.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>

#include <cstring>

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

struct XFreeDeleter {
    void operator()(void* data) const {
        if (data) XFree(data);
    }
};

// The window a virtual-root window manager (one that draws its desktop in a
// window of its own, as swm and tvtwm did) names in __SWM_VROOT on a child
// of the root; the root itself when none does. Children may go while they
// are looked at: their errors are caught.
Window virtualRoot(::Display* x, Window root) {
    const Atom vrootAtom = XInternAtom(x, "__SWM_VROOT", False);
    XErrorTrap trap(x);
    Window rootReturn = 0;
    Window parent = 0;
    Window* rawChildren = nullptr;
    unsigned count = 0;
    if (!XQueryTree(x, root, &rootReturn, &parent, &rawChildren, &count)) return root;
    const std::unique_ptr<Window, XFreeDeleter> children(rawChildren);
    for (unsigned i = 0; i < count; ++i) {
        Atom type = None;
        int format = 0;
        unsigned long items = 0;
        unsigned long after = 0;
        unsigned char* rawData = nullptr;
        const int status = XGetWindowProperty(x, children.get()[i], vrootAtom, 0, 1, False, XA_WINDOW,
                                              &type, &format, &items, &after, &rawData);
        const std::unique_ptr<unsigned char, XFreeDeleter> data(rawData);
        if (status == Success && type == XA_WINDOW && format == 32 && items == 1 && data) {
            Window named = 0;
            std::memcpy(&named, data.get(), sizeof named);
            if (named) return named;
        }
    }
    return root;
}

}  // namespace

std::unique_ptr<SaverWindow> SaverWindow::open(X11Connection& connection, DrawTarget target,
                                               unsigned long windowId,
                                               const WindowGeometry* geometry) {
    ::Display* x = xDisplay(connection);
    const Window root = DefaultRootWindow(x);
    XWindowAttributes rootAttributes{};
    if (!readAttributes(x, root, rootAttributes)) return nullptr;

    if (target != DrawTarget::OwnWindow) {
        const Window window = target == DrawTarget::Root ? virtualRoot(x, root) : windowId;
        XWindowAttributes attributes{};
        if (!readAttributes(x, window, attributes) || !watchWindow(x, window)) return nullptr;
        std::unique_ptr<SaverWindow> saver(new SaverWindow(connection, window, false));
        saver->width_ = attributes.width;
        saver->height_ = attributes.height;
        return saver;
    }

    // One window over the whole root, every monitor included, unless
    // -geometry says otherwise.
    const WindowPlace place =
        placeWindow(geometry ? *geometry : WindowGeometry{}, static_cast<unsigned>(rootAttributes.width),
                    static_cast<unsigned>(rootAttributes.height));
    XSetWindowAttributes attributes{};
    attributes.background_pixel = BlackPixel(x, DefaultScreen(x));
    attributes.event_mask = KeyPressMask | StructureNotifyMask;
    const Window window =
        XCreateWindow(x, root, place.x, place.y, place.width, place.height, 0, CopyFromParent,
                      InputOutput, CopyFromParent, CWBackPixel | CWEventMask, &attributes);
    if (!window) return nullptr;
    std::unique_ptr<SaverWindow> saver(new SaverWindow(connection, window, true));
    saver->width_ = static_cast<int>(place.width);
    saver->height_ = static_cast<int>(place.height);
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
    if (geometry) {
        // The user's own size and place, which a window manager keeps.
        XSizeHints hints{};
        hints.flags = USSize | (geometry->x || geometry->y ? USPosition : 0);
        hints.x = place.x;
        hints.y = place.y;
        hints.width = static_cast<int>(place.width);
        hints.height = static_cast<int>(place.height);
        XSetWMNormalHints(x, window, &hints);
    } else {
        // Under a window manager: no frame, and above the panels.
        Atom fullScreen = XInternAtom(x, "_NET_WM_STATE_FULLSCREEN", False);
        XChangeProperty(x, window, XInternAtom(x, "_NET_WM_STATE", False), XA_ATOM, 32,
                        PropModeReplace, reinterpret_cast<unsigned char*>(&fullScreen), 1);
    }
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
