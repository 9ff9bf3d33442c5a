#include "display/display.h"

#include "display/frame_gl.h"
#include "display/random.h"
#include "display/single_precision.h"
#include "display/stopwatch.h"
#include "images/image_provider.h"
#include "loader/slide_loader.h"
#include "platform/gl.h"
#include "platform/gl_context.h"
#include "settings/settings.h"
#include "slides/slide.h"

#include <algorithm>
#include <cmath>

// The frame loop of a Display: timing, the slides and their cross-fade, the
// hand-over and the swap.

namespace {

// A frame that comes later than this (the machine slept, the loop was held)
// moves the slides this far only, so they never jump out of sight unfaded.
constexpr double kLongestFrameSeconds = 2.0;

}  // namespace

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
    if (resumed_) {
        // The time the monitor was off is no motion: the slide goes on from
        // where it was, one period later.
        resumed_ = false;
        return framePeriod_;
    }
    const double periods = std::floor((elapsed * 0.001) / framePeriod_);
    const double most = std::max(1.0, std::floor(kLongestFrameSeconds / framePeriod_));
    const double k = std::clamp(periods, 1.0, most);
    return k * framePeriod_;
}

void Display::drawSlides(double dt, double remaining) {
    if (remaining >= fadeSeconds_) {
        glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
        drawShown(*current_, dt, true);
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
        drawShown(*current_, dt, false);
        return;
    }
    float v = singlePrecision((fadeSeconds_ - remaining) / fadeSeconds_);
    if (v > 1.0f) v = 1.0f;
    glColor4f(1.0f, 1.0f, 1.0f, 1.0f - v);
    drawShown(*current_, dt, true);
    glColor4f(1.0f, 1.0f, 1.0f, v);
    drawShown(*incoming_, dt, true);
}

void Display::drawShown(Slide& slide, double dt, bool countDown) {
    slide.draw(dt, countDown);
    if (slide.files.empty() || !provider_) return;
    for (const std::string& file : slide.files) provider_->pictureShown(file);
    slide.files.clear();
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
    clearToBlack();
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

    beginSlideFrame();

    const double remaining = current_->remaining;
    drawSlides(dt, remaining);
    const bool error = drainGLErrors();
    if (remaining < 0.0 || std::isnan(remaining) || error) handOver();

    if (hooks_.beforeSwap) hooks_.beforeSwap();
    context_->swapBuffers();
    wait(pacer_.afterSwap(readClock()));
}
