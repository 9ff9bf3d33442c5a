#include "platform/posix/x_error_trap.h"

namespace {

// Set by the handler while a trap lives; only the connection's own thread
// touches it.
bool errorSeen = false;

int noteError(::Display*, XErrorEvent*) {
    errorSeen = true;
    return 0;
}

}  // namespace

XErrorTrap::XErrorTrap(::Display* x) : x_(x) {
    // Errors of earlier requests belong to the handler before this one.
    XSync(x_, False);
    errorSeen = false;
    previous_ = XSetErrorHandler(noteError);
}

XErrorTrap::~XErrorTrap() {
    XSync(x_, False);
    XSetErrorHandler(previous_);
}

bool XErrorTrap::succeeded() {
    XSync(x_, False);
    return !errorSeen;
}
