#include "platform/debug_capture.h"
#include "platform/debug_output.h"

DebugCaptureSink& debugCaptureSink() {
    static DebugCaptureSink sink;
    return sink;
}

DebugOutputCapture::DebugOutputCapture() {
    auto& sink = debugCaptureSink();
    std::lock_guard lock(sink.mutex);
    sink.active = true;
    sink.text.clear();
}

DebugOutputCapture::~DebugOutputCapture() {
    auto& sink = debugCaptureSink();
    std::lock_guard lock(sink.mutex);
    sink.active = false;
    sink.text.clear();
}

std::string DebugOutputCapture::text() const {
    auto& sink = debugCaptureSink();
    std::lock_guard lock(sink.mutex);
    return sink.text;
}

void DebugOutputCapture::clear() {
    auto& sink = debugCaptureSink();
    std::lock_guard lock(sink.mutex);
    sink.text.clear();
}
