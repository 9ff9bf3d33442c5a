#include "platform/debug_capture.h"
#include "platform/debug_output.h"

#include <windows.h>

void debugOutput(const char* text) {
    OutputDebugStringA(text);
    debugCaptureSink().append(text);
}
