// The Linux program: an XScreenSaver hack, and a slideshow in a window of
// its own for anyone.
#include "linux/launch_options.h"
#include "linux/option_settings.h"
#include "linux/setting_sources.h"
#include "linux/saver_window.h"
#include "linux/slideshow.h"
#include "linux/stop_signals.h"
#include "linux/x11_connection.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

// XScreenSaver kills what is still there soon after its SIGTERM; the
// program is gone well before, within a second of the signal.
constexpr std::chrono::milliseconds kStopGrace{700};

}  // namespace

int main(int argc, char** argv) {
    // Before any thread: every thread inherits the blocked stop signals.
    StopSignals stop(kStopGrace);

    const std::vector<std::string> arguments(argv + 1, argv + argc);
    const LaunchOptions options = parseLaunchOptions(arguments, std::getenv("XSCREENSAVER_WINDOW"));
    if (options.error) {
        std::fprintf(stderr, "glimmora: %s\n%s", options.error->c_str(), usageText());
        return 1;
    }
    if (options.showHelp) {
        std::fputs(usageText(), stdout);
        return 0;
    }

    LaunchEnvironment environment;
    environment.home = std::getenv("HOME");
    environment.configHome = std::getenv("XDG_CONFIG_HOME");
    environment.saverWindow = std::getenv("XSCREENSAVER_WINDOW");
    const SettingSources sources = gatherSettingSources(options.settings, environment);
    applySettingEntries(sources.fromFile, sources.fromCommandLine);
    if (options.showSettings) {
        std::fputs(describeSettings().c_str(), stdout);
        return 0;
    }

    auto connection = X11Connection::open(options.displayName ? options.displayName->c_str() : nullptr);
    if (!connection) {
        std::fprintf(stderr, "glimmora: no X display (is DISPLAY set?)\n");
        return 1;
    }
    auto window = SaverWindow::open(*connection, options.target, options.windowId,
                                    options.geometry ? &*options.geometry : nullptr);
    if (!window) {
        std::fprintf(stderr, "glimmora: the window to draw into does not exist\n");
        return 1;
    }
    const int status = runSlideshow(*window, stop, options.showFrameRate);
    window.reset();
    connection.reset();
    stop.finished();
    return status;
}
