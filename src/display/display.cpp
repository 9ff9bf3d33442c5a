#include "display/display.h"

#include "display/frame_gl.h"
#include "display/pixel_format_choice.h"
#include "loader/left_behind.h"
#include "loader/slide_loader.h"
#include "platform/clock.h"
#include "platform/gl.h"
#include "platform/gl_context.h"
#include "platform/system_error.h"
#include "platform/window_surface.h"
#include "settings/settings.h"
#include "slides/slide.h"
#include "slides/slide_reach.h"
#include "slides/texture_pool.h"

#include <algorithm>
#include <thread>
#include <vector>

namespace {

constexpr int kLoaderCapacity = 2;
constexpr double kDefaultFramePeriod = 1.0 / 60.0;
// A texture edge for a driver that will not say its maximum.
constexpr int kFallbackTextureEdge = 256;

// Consecutive displays start their loaders in opposite directions. Only the
// main thread constructs displays.
bool loaderDirectionToggle = false;

}  // namespace

Display::Display(void* window, ImageProvider* provider, DisplayHooks hooks)
    : hooks_(std::move(hooks)),
      provider_(provider),
      surface_(std::make_unique<WindowSurface>(window)) {
    const bool formatSet = surface_->valid() && selectPixelFormat(*surface_);
    const int hz = surface_->valid() ? surface_->refreshHz() : 0;
    framePeriod_ = hz > 1 ? 1.0 / hz : kDefaultFramePeriod;
    loaderDirectionToggle = !loaderDirectionToggle;

    if (formatSet) context_ = GLContext::create(surface_->target());
    if (context_ && !context_->makeCurrent()) context_.reset();
    bool swapControl = false;
    if (context_) {
        glViewport(0, 0, surface_->width(), surface_->height());
        swapControl = setupProjection();
        theSettings.queryMaxTextureSize();
        int limit = theSettings.textureLimit();
        if (limit < 1) limit = kFallbackTextureEdge;
        // Textures no larger than the slides can ever be seen on this
        // window, and pictures decoded no larger than that either.
        const DisplayReach reach =
            displayReach(surface_->width(), surface_->height(), limit, theSettings);
        pool_ = std::make_unique<TexturePool>(reach.extent.width, reach.extent.height);
        loader_ = std::make_unique<SlideLoader>(provider, kLoaderCapacity, pool_.get(),
                                                surface_->target(), *context_);
        loader_->setPictureReach(reach);
        loader_->reverseNext = loaderDirectionToggle;
        loader_->setScreenSize(surface_->width(), surface_->height());
        loader_->start();
        warmUpSlideDrawing();
    }
    pacer_ = FramePacer(framePeriod_, swapControl);
}

Display::~Display() {
    current_.reset();
    incoming_.reset();
    if (loader_) {
        requestLoaderStop();
        const auto left = *stopDeadline_ - std::chrono::steady_clock::now();
        loader_->waitUntilEndedOrLeavable(
            std::max(std::chrono::duration_cast<std::chrono::milliseconds>(left),
                     std::chrono::milliseconds(0)));
        if (loader_->ended()) {
            loader_->stop(std::chrono::milliseconds(0));
            loader_.reset();
        } else {
            // Still inside the provider, or stuck past the bound: the thread
            // is left alone, and what it may still reach (the loader with its
            // queue and context, the pool, the window's surface) is kept for
            // good instead of being freed under it.
            reportSystemTimeout("thread stop");
            // A thread stuck past the bound may be inside the driver, in the
            // context that shares names with this one: that stays too.
            const bool stuck = !loader_->waitUntilEndedOrLeavable(std::chrono::milliseconds(0));
            std::vector<std::shared_ptr<void>> uses{std::shared_ptr<void>(std::move(pool_)),
                                                    std::shared_ptr<void>(std::move(surface_))};
            if (stuck) {
                GLContext::releaseCurrent();
                uses.push_back(std::shared_ptr<void>(std::move(context_)));
            }
            left_behind::keep(std::move(loader_), std::move(uses));
        }
    }
    // The pool deletes its names in a context of their sharing group; when
    // the window is gone already and the context cannot be made current,
    // in none (deleting the context frees them).
    if (pool_ && !(context_ && context_->makeCurrent())) GLContext::releaseCurrent();
    pool_.reset();
    surface_.reset();
    GLContext::releaseCurrent();
    context_.reset();
}

int Display::textureSize() const { return pool_ ? pool_->width() : 0; }

int Display::queuedSlides() { return loader_ ? loader_->queuedSlides() : 0; }

void Display::resize(int width, int height) {
    if (!context_ || width < 1 || height < 1) return;
    context_->makeCurrent();
    glViewport(0, 0, width, height);
    if (loader_) {
        loader_->setScreenSize(width, height);
        // The textures keep their storage, which bounds the pictures asked
        // for at the new size.
        const int limit = std::max(pool_->width(), pool_->height());
        loader_->setPictureReach(displayReach(width, height, limit, theSettings));
    }
}

void Display::requestLoaderStop() {
    stopping_ = true;
    if (!stopDeadline_) stopDeadline_ = std::chrono::steady_clock::now() + hooks_.loaderStopBound;
    if (loader_) loader_->requestStop();
}

bool Display::waitForLoader(std::chrono::milliseconds bound) {
    return !loader_ || loader_->waitForThread(bound);
}

void Display::pauseLoader(bool paused) {
    if (paused_ && !paused) resumed_ = true;
    paused_ = paused;
    if (loader_) loader_->setPaused(paused);
}

std::uint32_t Display::readClock() {
    TimerResolution fine;
    return hooks_.clock ? hooks_.clock() : millisecondClock();
}

void Display::wait(std::uint32_t milliseconds) {
    if (milliseconds == 0) return;
    if (hooks_.sleep) {
        hooks_.sleep(milliseconds);
        return;
    }
    TimerResolution fine;
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

