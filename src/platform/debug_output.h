#pragma once
#include <string>

// Writes one diagnostic line to the debugger output (OutputDebugStringA on
// Windows). The user never sees these.
void debugOutput(const char* text);

// Everything written with debugOutput while an instance lives is also kept
// here, so tests in either build can check the exact lines. One capture at a
// time per process.
class DebugOutputCapture {
public:
    DebugOutputCapture();
    ~DebugOutputCapture();
    DebugOutputCapture(const DebugOutputCapture&) = delete;
    DebugOutputCapture& operator=(const DebugOutputCapture&) = delete;

    std::string text() const;
    void clear();
};
