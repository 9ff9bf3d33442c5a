#include "shell/display_binding.h"

// Until the slideshow's Display is in, a saver window shows its black class
// background, paced like a 60 Hz frame loop so the idle loop does not spin.
namespace {

class BlankDisplay final : public ShellDisplay {
public:
    void renderFrame() override { Sleep(16); }
    void requestLoaderStop() override {}
};

}  // namespace

std::unique_ptr<ShellDisplay> makeSaverDisplay(HWND, ImageProvider*) {
    return std::make_unique<BlankDisplay>();
}
