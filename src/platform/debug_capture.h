#pragma once
#include <mutex>
#include <string>

// The sink behind DebugOutputCapture, shared by both platforms' debugOutput.
struct DebugCaptureSink {
    std::mutex mutex;
    bool active = false;  // guarded by mutex
    std::string text;     // guarded by mutex

    void append(const char* line) {
        std::lock_guard lock(mutex);
        if (active) text += line;
    }
};

DebugCaptureSink& debugCaptureSink();
