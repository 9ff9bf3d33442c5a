#include "linux/x11_connection.h"

#include "platform/debug_output.h"
#include "platform/gl_context.h"

#include <X11/Xlib.h>

#include <cstdio>

namespace {

int noteXError(::Display* display, XErrorEvent* event) {
    char text[128] = {};
    XGetErrorText(display, event->error_code, text, sizeof text);
    char line[256];
    std::snprintf(line, sizeof line, "glimmora: X error: %s (request %d)\n", text,
                  static_cast<int>(event->request_code));
    debugOutput(line);
    return 0;
}

}  // namespace

std::unique_ptr<X11Connection> X11Connection::open() {
    ::Display* display = XOpenDisplay(nullptr);
    if (!display) return nullptr;
    XSetErrorHandler(noteXError);
    return std::unique_ptr<X11Connection>(new X11Connection(display));
}

X11Connection::~X11Connection() {
    releaseGLOnConnection(display_);
    XCloseDisplay(static_cast<::Display*>(display_));
}

int X11Connection::fileDescriptor() const {
    return ConnectionNumber(static_cast<::Display*>(display_));
}
