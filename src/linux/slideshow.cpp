#include "linux/slideshow.h"

#include "display/display.h"
#include "display/random.h"
#include "images/random_image_provider.h"
#include "linux/frame_rate_meter.h"
#include "linux/head_start_provider.h"
#include "linux/saver_window.h"
#include "linux/stop_signals.h"
#include "loader/left_behind.h"
#include "platform/clock.h"
#include "platform/debug_output.h"
#include "platform/process_exit.h"
#include "platform/thread_priority.h"
#include "settings/settings.h"
#include "slides/slide_reach.h"

#include <cstdio>
#include <ctime>
#include <memory>

#include <unistd.h>

namespace {

// Milliseconds since the process began, for the time-to-first-picture
// line: the monotonic clock against the process's start time.
double millisecondsSinceProcessStart() {
    timespec now{};
    clock_gettime(CLOCK_BOOTTIME, &now);
    unsigned long long startTicks = 0;
    if (std::FILE* stat = std::fopen("/proc/self/stat", "r")) {
        // Field 22 is the start time in clock ticks after boot; field 2 (the
        // name, in parentheses) may hold blanks, so skip past its ')'.
        int c = 0;
        while ((c = std::fgetc(stat)) != EOF && c != ')') {}
        char state = 0;
        // Fields 3 to 21 are skipped.
        if (std::fscanf(stat, " %c %*d %*d %*d %*d %*d %*u %*u %*u %*u %*u %*u %*u %*d %*d %*d "
                              "%*d %*d %*d %llu",
                        &state, &startTicks) != 2)
            startTicks = 0;
        std::fclose(stat);
    }
    const double ticksPerSecond = static_cast<double>(sysconf(_SC_CLK_TCK));
    const double nowMs = now.tv_sec * 1000.0 + now.tv_nsec / 1e6;
    return startTicks && ticksPerSecond > 0 ? nowMs - startTicks * 1000.0 / ticksPerSecond : 0.0;
}

void reportFirstPicture() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    char line[160];
    std::snprintf(line, sizeof line,
                  "glimmora: first picture on screen at monotonic %.3f ms, %.0f ms after start\n",
                  now.tv_sec * 1000.0 + now.tv_nsec / 1e6, millisecondsSinceProcessStart());
    debugOutput(line);
}

// The -fps line, on standard output: asked for, so no diagnostic.
void reportFrameRate(FrameRateMeter& meter) {
    if (const auto line = meter.frameDrawn(millisecondClock())) {
        std::fputs(line->c_str(), stdout);
        std::fflush(stdout);
    }
}

}  // namespace

int runSlideshow(SaverWindow& window, StopSignals& stop, bool showFrameRate) {
    setCurrentThreadPriority(ThreadPriority::AboveNormal);
    seedRandom(millisecondClock());
    // The first folder chunk is listed by the early decode's thread: on a
    // stalled network mount the loop must still answer q, Escape and the
    // window manager's close. That first picture is decoded before any
    // context can tell the driver's texture limit: it is sized for the
    // window within the largest edge the saver uses, and the display's own
    // pool bounds it further.
    const int limit = theSettings.textureLimit() > 0 ? theSettings.textureLimit()
                                                     : Settings::largestTextureEdge;
    auto provider = std::make_unique<HeadStartProvider>(
        std::make_unique<RandomImageProvider>(theSettings.directories,
                                              RandomImageProvider::loadImageFileDecoder(),
                                              RandomImageProvider::FirstChunk::OnFirstPicture,
                                              PassMemory::forFolders(theSettings.directories)),
        displayReach(window.width(), window.height(), limit, theSettings).need);
    auto display = std::make_unique<Display>(window.handle(), provider.get());

    FrameRateMeter frameRate;
    bool first = true;
    while (!stop.requested()) {
        const WindowEvents events = window.poll();
        if (events.close) break;
        if (events.resized) display->resize(events.width, events.height);
        display->renderFrame();
        if (showFrameRate) reportFrameRate(frameRate);
        // The display shows black until its first slide is ready.
        if (first && display->current()) {
            first = false;
            reportFirstPicture();
        }
    }

    // The user sees the desktop at once; the loader winds down behind it.
    window.hide();
    display->requestLoaderStop();
    const std::size_t leftBefore = left_behind::count();
    display.reset();
    if (left_behind::count() > leftBefore || provider->headStartRunning()) {
        // The loader is still inside the provider (a decode, a directory
        // read), or the first picture's early decode is, with no loader to
        // take it: the provider is kept, and the process ends under that
        // thread without tearing anything down that it could reach.
        left_behind::keepAlso(std::shared_ptr<void>(std::move(provider)));
        endProcessNow(0);
    }
    provider.reset();
    return 0;
}
