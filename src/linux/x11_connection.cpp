#include "linux/x11_connection.h"

#include "platform/debug_output.h"
#include "platform/gl_context.h"
#include "platform/process_exit.h"

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

// Xlib's default ends the process with exit(), whose static destructors
// would run under the loader thread.
int lostServer(::Display*) {
    debugOutput("glimmora: the X server went away\n");
    endProcessNow(1);
}

}  // namespace

std::unique_ptr<X11Connection> X11Connection::open(const char* name) {
    // The loader's context uses this connection from its own thread; older
    // Xlibs do not lock it unless asked before the first call.
    XInitThreads();
    ::Display* display = XOpenDisplay(name);
    if (!display) return nullptr;
    XSetErrorHandler(noteXError);
    XSetIOErrorHandler(lostServer);
    return std::unique_ptr<X11Connection>(new X11Connection(display));
}

X11Connection::~X11Connection() {
    releaseGLOnConnection(display_);
    XCloseDisplay(static_cast<::Display*>(display_));
}

int X11Connection::fileDescriptor() const {
    return ConnectionNumber(static_cast<::Display*>(display_));
}
