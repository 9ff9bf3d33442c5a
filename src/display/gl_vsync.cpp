#include "display/gl_vsync.h"

GLVSync::GLVSync() : lookup_(findSwapControl) {}
GLVSync::GLVSync(Lookup lookup) : lookup_(std::move(lookup)) {}
GLVSync::~GLVSync() = default;

bool GLVSync::init() {
    entryPoints_ = lookup_ ? lookup_() : SwapControlEntryPoints{};
    supported_ = entryPoints_.setInterval != nullptr;
    return supported_;
}

void GLVSync::enable() {
    if (supported_) entryPoints_.setInterval(1);
}

void GLVSync::disable() {
    if (supported_) entryPoints_.setInterval(0);
}

bool GLVSync::isEnabled() const {
    return supported_ && entryPoints_.getInterval && entryPoints_.getInterval() > 0;
}

bool GLVSync::isDisabled() const {
    return supported_ && entryPoints_.getInterval && entryPoints_.getInterval() == 0;
}
