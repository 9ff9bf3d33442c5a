#include "display/display.h"

#include "display/gl_vsync.h"
#include "display/pixel_format_choice.h"
#include "display/random.h"
#include "display/single_precision.h"
#include "loader/left_behind.h"
#include "loader/slide_loader.h"
#include "platform/clock.h"
#include "platform/debug_output.h"
#include "platform/gl.h"
#include "platform/gl_context.h"
#include "platform/system_error.h"
#include "platform/window_surface.h"
#include "settings/settings.h"
#include "slides/slide.h"
#include "slides/slide_reach.h"
#include "slides/texture_pool.h"

#include <cmath>
#include <limits>
#include <thread>

namespace {

constexpr int kLoaderCapacity = 2;
constexpr double kDefaultFramePeriod = 1.0 / 60.0;
// A texture edge for a driver that will not say its maximum.
constexpr int kFallbackTextureEdge = 256;
// glGetError reports each error flag once; a driver that keeps reporting
// is not allowed to hold the frame for ever.
constexpr int kMostGLErrorsPerFrame = 64;

// Adds the time from its construction to its end to `total`.
class Stopwatch {
public:
    explicit Stopwatch(std::chrono::nanoseconds& total)
        : total_(total), start_(std::chrono::steady_clock::now()) {}
    ~Stopwatch() { total_ += std::chrono::steady_clock::now() - start_; }
    Stopwatch(const Stopwatch&) = delete;
    Stopwatch& operator=(const Stopwatch&) = delete;

private:
    std::chrono::nanoseconds& total_;
    const std::chrono::steady_clock::time_point start_;
};

// Consecutive displays start their loaders in opposite directions. Only the
// main thread constructs displays.
bool loaderDirectionToggle = false;

// The fixed perspective every display uses, and swap interval 1. True when
// the swap may be trusted to pace frames.
bool setupProjection() {
    glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glFrustum(-0.25, 0.25, -0.25, 0.25, 0.25, 2.0);
    GLVSync vsync;
    const bool supported = vsync.init();
    if (!supported) debugOutput("Glimmora.scr: VSync could not be initialized\n");
    vsync.enable();
    return supported && !vsync.isDisabled();
}

}  // namespace

Display::Display(void* window, ImageProvider* provider, DisplayHooks hooks)
    : hooks_(std::move(hooks)), surface_(std::make_unique<WindowSurface>(window)) {
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
        loader_->setPictureNeed(reach.need);
        loader_->reverseNext = loaderDirectionToggle;
        loader_->start();
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
            left_behind::keep(std::move(loader_),
                              {std::shared_ptr<void>(std::move(pool_)),
                               std::shared_ptr<void>(std::move(surface_))});
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

void Display::resize(int width, int height) {
    if (!context_ || width < 1 || height < 1) return;
    context_->makeCurrent();
    glViewport(0, 0, width, height);
    // The textures keep their storage; pictures are asked for the new size
    // within it.
    if (loader_) {
        const PictureNeed box = boxAtDepth(width, height, nearestApproach(theSettings));
        loader_->setPictureNeed(needWithin(box, {pool_->width(), pool_->height()}));
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

void Display::waitForFirstSlide(std::uint32_t milliseconds) {
    // A loop with a wait of its own (for messages) keeps it. Otherwise the
    // wait ends when the slide is ready, and the first picture is drawn at
    // once instead of up to a period later.
    if (hooks_.sleep || milliseconds == 0 || loaderGone_) {
        wait(milliseconds);
        return;
    }
    loader_->waitForSlide(std::chrono::milliseconds(milliseconds));
}

void Display::drawNewFadeLength() {
    float fade = singlePrecision(gaussian(theSettings.fadeMean, theSettings.fadeSigma));
    // A fade length that is no number (or no finite one) would leave both
    // slides at an undefined alpha: it counts as a hard cut.
    if (!std::isfinite(fade)) fade = 0.0f;
    fadeSeconds_ = fade;
    const float twice = singlePrecision(2.0 * fade);
    if (theSettings.secondsPerImage.load(std::memory_order_relaxed) < twice)
        theSettings.secondsPerImage.store(twice, std::memory_order_relaxed);
}

bool Display::takeFirstSlide() {
    if (!loader_ || loaderGone_) return false;
    // Read before the take: once the thread has ended, every slide it
    // queued is counted already, so an empty take then means none will come.
    const bool ended = loader_->ended();
    {
        Stopwatch watch(cost_.slideWork);
        current_ = loader_->takeSlide(false);
    }
    if (!current_) {
        // A loader that ended (no context of its own, typically) is asked no
        // more: the display stays black.
        loaderGone_ = ended;
        return false;
    }
    drawNewFadeLength();
    // Waiting for the slide is not motion: time starts now.
    lastTickMs_ = readClock();
    return true;
}

double Display::frameTime() {
    const std::uint32_t now = readClock();
    const std::uint32_t elapsed = now - lastTickMs_;
    lastTickMs_ = now;
    const double periods = std::floor((elapsed * 0.001) / framePeriod_);
    const double most = std::numeric_limits<std::int32_t>::max();
    const std::int32_t k = periods < 1.0 ? 1 : static_cast<std::int32_t>(std::min(periods, most));
    return k * framePeriod_;
}

void Display::drawSlides(double dt, double remaining) {
    if (remaining >= fadeSeconds_) {
        glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
        current_->draw(dt, true);
        return;
    }
    if (!incoming_) {
        Stopwatch watch(cost_.slideWork);
        incoming_ = loader_->takeSlide(false);
    }
    if (!incoming_) {
        cost_.heldForSuccessor = true;
        // Held fully visible, and not falling further due, until a
        // successor is ready.
        glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
        current_->draw(dt, false);
        return;
    }
    float v = singlePrecision((fadeSeconds_ - remaining) / fadeSeconds_);
    if (v > 1.0f) v = 1.0f;
    glColor4f(1.0f, 1.0f, 1.0f, 1.0f - v);
    current_->draw(dt, true);
    glColor4f(1.0f, 1.0f, 1.0f, v);
    incoming_->draw(dt, true);
}

bool Display::drainGLErrors() {
    bool any = false;
    for (int i = 0; i < kMostGLErrorsPerFrame; ++i) {
        const GLenum error = glGetError();
        if (error == GL_NO_ERROR) break;
        any = true;
        debugOutput("Glimmora.scr: OpenGL Error -- ");
        const GLubyte* text = gluErrorString(error);
        debugOutput(text ? reinterpret_cast<const char*>(text) : "unknown error");
        debugOutput("\n");
    }
    return any;
}

void Display::handOver() {
    Stopwatch watch(cost_.slideWork);
    auto next = loader_->takeSlide(false);
    if (!next) return;
    if (incoming_) {
        current_ = std::move(incoming_);
        incoming_ = std::move(next);
    } else {
        // Forced early (an OpenGL error) before a successor had faded in:
        // the slide just delivered follows at once, so the display is never
        // left without one.
        current_ = std::move(next);
    }
    drawNewFadeLength();
}

void Display::showBlack() {
    cost_.withoutSlide = true;
    glClear(GL_COLOR_BUFFER_BIT);
    drainGLErrors();
    if (hooks_.beforeSwap) hooks_.beforeSwap();
    context_->swapBuffers();
}

void Display::renderFrame() {
    cost_ = FrameCost{};
    if (!context_ || !loader_ || stopping_) {
        // Nothing to draw, but the loop must not spin.
        wait(pacer_.afterSwap(readClock()));
        return;
    }
    context_->makeCurrent();
    double dt = 0.0;
    if (current_) {
        dt = frameTime();
    } else if (takeFirstSlide()) {
        dt = framePeriod_;
    } else {
        // No slide yet: black for a period, and back to the loop, which
        // handles input meanwhile.
        showBlack();
        waitForFirstSlide(pacer_.afterSwap(readClock()));
        return;
    }

    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glDisable(GL_DEPTH_TEST);
    glClear(GL_COLOR_BUFFER_BIT);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE);

    const double remaining = current_->remaining;
    drawSlides(dt, remaining);
    const bool error = drainGLErrors();
    if (remaining < 0.0 || std::isnan(remaining) || error) handOver();

    if (hooks_.beforeSwap) hooks_.beforeSwap();
    context_->swapBuffers();
    wait(pacer_.afterSwap(readClock()));
}
