#pragma once
#include <memory>

// The program's one connection to the X server. X errors (a window that
// went away under the saver, say) are noted on the debugger output instead
// of ending the process. Closing it ends EGL's use of it first.
class X11Connection {
public:
    // Null when no server can be reached: `name` (-display) or, when it is
    // null, DISPLAY unset or wrong.
    static std::unique_ptr<X11Connection> open(const char* name);
    ~X11Connection();
    X11Connection(const X11Connection&) = delete;
    X11Connection& operator=(const X11Connection&) = delete;

    // The Xlib Display*.
    void* handle() const { return display_; }
    // The socket, to wait on for events.
    int fileDescriptor() const;

private:
    explicit X11Connection(void* display) : display_(display) {}
    void* display_;
};
