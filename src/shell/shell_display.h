#pragma once

// What the shell needs of one saver window's renderer. The real one wraps a
// Display; tests of the window procedure put counting stand-ins here so they
// run without OpenGL.
class ShellDisplay {
public:
    virtual ~ShellDisplay() = default;
    virtual void renderFrame() = 0;
    // Lets the loader wind down while the other displays are still alive,
    // so that all loaders end in parallel during teardown.
    virtual void requestLoaderStop() = 0;
    // The monitor is off: no picture is prepared until it is on again.
    virtual void pauseLoader(bool paused) = 0;
    // The window was moved and sized to a changed monitor.
    virtual void fitToWindow() = 0;
};
