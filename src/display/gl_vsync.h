#pragma once
#include <functional>

#include "platform/swap_control.h"

// The swap interval of the current context: 1 makes every buffer swap wait
// for the monitor's retrace. Every operation needs a current context; one
// whose entry point the platform did not provide does nothing and reports
// false.
class GLVSync {
public:
    // Where the entry points come from; tests replace the platform's lookup.
    using Lookup = std::function<SwapControlEntryPoints()>;

    GLVSync();
    explicit GLVSync(Lookup lookup);
    virtual ~GLVSync();
    GLVSync(const GLVSync&) = delete;
    GLVSync& operator=(const GLVSync&) = delete;

    // Looks for swap control on the current context; true when it can be
    // set. An announced extension without its entry point is no support.
    bool init();
    void enable();
    void disable();
    bool isEnabled() const;
    bool isDisabled() const;

private:
    Lookup lookup_;
    SwapControlEntryPoints entryPoints_;
    bool supported_ = false;
};
