#include "shell/display_binding.h"

#include "display/display.h"
#include "platform/clock.h"

namespace {

// The frame loop's wait between frames: it ends early when a message
// arrives, so input and close requests never wait for a frame.
void waitForMessageOrTimeout(std::uint32_t milliseconds) {
    TimerResolution fine;
    MsgWaitForMultipleObjectsEx(0, nullptr, milliseconds, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
}

DisplayHooks saverHooks() {
    DisplayHooks hooks;
    hooks.sleep = waitForMessageOrTimeout;
    return hooks;
}

// A saver window's Display, behind the shell's own small interface.
class WindowDisplay final : public ShellDisplay {
public:
    WindowDisplay(HWND window, ImageProvider* provider)
        : window_(window), display_(window, provider, saverHooks()) {}
    void renderFrame() override { display_.renderFrame(); }
    void requestLoaderStop() override { display_.requestLoaderStop(); }
    void pauseLoader(bool paused) override { display_.pauseLoader(paused); }
    void fitToWindow() override {
        RECT client{};
        if (GetClientRect(window_, &client)) display_.resize(client.right, client.bottom);
    }

private:
    HWND window_;
    Display display_;
};

}  // namespace

std::unique_ptr<ShellDisplay> makeSaverDisplay(HWND window, ImageProvider* provider) {
    return std::make_unique<WindowDisplay>(window, provider);
}
