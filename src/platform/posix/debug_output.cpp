#include "platform/debug_capture.h"
#include "platform/debug_output.h"

#include <cstdio>
#include <cstdlib>

// Linux has no debugger output channel. Lines go to standard error only when
// GLIMMORA_DEBUG_OUTPUT is set, so they never show up uninvited.
void debugOutput(const char* text) {
    static const bool toStderr = std::getenv("GLIMMORA_DEBUG_OUTPUT") != nullptr;
    if (toStderr) std::fputs(text, stderr);
    debugCaptureSink().append(text);
}
