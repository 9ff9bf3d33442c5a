#include "shell/display_binding.h"

#include "display/display.h"

namespace {

// A saver window's Display, behind the shell's own small interface.
class WindowDisplay final : public ShellDisplay {
public:
    WindowDisplay(HWND window, ImageProvider* provider) : display_(window, provider) {}
    void renderFrame() override { display_.renderFrame(); }
    void requestLoaderStop() override { display_.requestLoaderStop(); }

private:
    Display display_;
};

}  // namespace

std::unique_ptr<ShellDisplay> makeSaverDisplay(HWND window, ImageProvider* provider) {
    return std::make_unique<WindowDisplay>(window, provider);
}
