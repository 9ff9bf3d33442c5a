// The end-to-end test's own X client, standing in for XScreenSaver's
// window or a window manager:
//   test_window make WIDTH HEIGHT   makes and maps a white window at 40,40,
//                                   prints its id in hex, then takes
//                                   "resize W H" and "quit" lines on stdin
//   test_window vroot WIDTH HEIGHT  the same window, named as the virtual
//                                   root in its own __SWM_VROOT, as a
//                                   virtual-root window manager's desktop is
//   test_window make32 WIDTH HEIGHT the same with a depth-32 (ARGB) visual,
//                                   as XScreenSaver makes for a GL hack
//                                   without its visual helper; it also takes
//                                   "pixel X Y" lines and prints the pixel's
//                                   ARGB value in hex
//   test_window close ID            asks window ID to close as a window
//                                   manager's close box does (WM_DELETE_WINDOW)
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <sstream>
#include <string>

namespace {

// A window of the screen's depth-32 TrueColor visual; None when there is
// none.
Window makeArgb(::Display* x, int width, int height) {
    const int screen = DefaultScreen(x);
    XVisualInfo info{};
    if (!XMatchVisualInfo(x, screen, 32, TrueColor, &info)) return None;
    XSetWindowAttributes attributes{};
    attributes.colormap = XCreateColormap(x, RootWindow(x, screen), info.visual, AllocNone);
    attributes.background_pixel = 0xffffffff;
    attributes.border_pixel = 0;
    return XCreateWindow(x, RootWindow(x, screen), 40, 40, static_cast<unsigned>(width),
                         static_cast<unsigned>(height), 0, 32, InputOutput, info.visual,
                         CWColormap | CWBackPixel | CWBorderPixel, &attributes);
}

int make(::Display* x, int width, int height, bool argb, bool virtualRoot) {
    const int screen = DefaultScreen(x);
    const Window window =
        argb ? makeArgb(x, width, height)
             : XCreateSimpleWindow(x, RootWindow(x, screen), 40, 40, static_cast<unsigned>(width),
                                   static_cast<unsigned>(height), 0, BlackPixel(x, screen),
                                   WhitePixel(x, screen));
    if (window == None) {
        std::fprintf(stderr, "test_window: no depth-32 visual\n");
        return 2;
    }
    XStoreName(x, window, "glimmora-e2e-window");
    if (virtualRoot) {
        Window self = window;
        XChangeProperty(x, window, XInternAtom(x, "__SWM_VROOT", False), XA_WINDOW, 32,
                        PropModeReplace, reinterpret_cast<unsigned char*>(&self), 1);
    }
    XSelectInput(x, window, StructureNotifyMask);
    XMapWindow(x, window);
    for (;;) {
        XEvent event;
        XNextEvent(x, &event);
        if (event.type == MapNotify) break;
    }
    std::printf("0x%lx\n", window);
    std::fflush(stdout);
    std::string line;
    while (std::getline(std::cin, line)) {
        std::istringstream words(line);
        std::string command;
        words >> command;
        if (command == "resize") {
            unsigned w = 0, h = 0;
            if (words >> w >> h && w > 0 && h > 0) XResizeWindow(x, window, w, h);
            XSync(x, False);
            std::printf("resized\n");
            std::fflush(stdout);
        } else if (command == "pixel") {
            int px = 0, py = 0;
            unsigned long value = 0;
            if (words >> px >> py) {
                if (XImage* image = XGetImage(x, window, px, py, 1, 1, AllPlanes, ZPixmap)) {
                    value = XGetPixel(image, 0, 0);
                    XDestroyImage(image);
                }
            }
            std::printf("%08lx\n", value);
            std::fflush(stdout);
        } else if (command == "quit") {
            break;
        }
    }
    XDestroyWindow(x, window);
    XSync(x, False);
    return 0;
}

int close(::Display* x, Window window) {
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = XInternAtom(x, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long>(XInternAtom(x, "WM_DELETE_WINDOW", False));
    event.xclient.data.l[1] = CurrentTime;
    XSendEvent(x, window, False, NoEventMask, &event);
    XSync(x, False);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    ::Display* x = XOpenDisplay(nullptr);
    if (!x) {
        std::fprintf(stderr, "test_window: no X display\n");
        return 2;
    }
    int status = 2;
    if (argc == 4 && (std::strcmp(argv[1], "make") == 0 || std::strcmp(argv[1], "make32") == 0 ||
                      std::strcmp(argv[1], "vroot") == 0)) {
        status = make(x, std::atoi(argv[2]), std::atoi(argv[3]), std::strcmp(argv[1], "make32") == 0,
                      argv[1][0] == 'v');
    } else if (argc == 3 && std::strcmp(argv[1], "close") == 0) {
        status = close(x, static_cast<Window>(std::strtoul(argv[2], nullptr, 0)));
    } else {
        std::fprintf(stderr, "usage: test_window make W H | make32 W H | vroot W H | close ID\n");
    }
    XCloseDisplay(x);
    return status;
}
