#pragma once
// Catches the X errors of the requests made while it lives, instead of
// letting the connection's handler report them: X reports errors
// asynchronously, and a window that is not ours may go between a look and a
// request. Only the thread that owns the connection makes requests on it,
// and traps do not nest.
#include <X11/Xlib.h>

class XErrorTrap {
public:
    explicit XErrorTrap(::Display* x);
    ~XErrorTrap();
    XErrorTrap(const XErrorTrap&) = delete;
    XErrorTrap& operator=(const XErrorTrap&) = delete;

    // Waits for the answers so far; true when none of them was an error.
    bool succeeded();

private:
    ::Display* x_;
    XErrorHandler previous_;
};
