#pragma once
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

#include "display/frame_pacer.h"

class GLContext;
class ImageProvider;
class Slide;
class SlideLoader;
class TexturePool;
class WindowSurface;

// What the frame loop reads from outside, replaceable so tests can script
// time and watch frames. Empty members mean the real thing.
struct DisplayHooks {
    // The millisecond clock (wrapping at 2^32 like timeGetTime).
    std::function<std::uint32_t()> clock;
    // Waits the given milliseconds when swap control does not pace frames.
    std::function<void(std::uint32_t)> sleep;
    // Called with the frame drawn, just before the buffers are swapped.
    std::function<void()> beforeSwap;
    // How long teardown waits for the loader, from the stop request, before
    // it leaves the thread alone.
    std::chrono::milliseconds loaderStopBound{10000};
};

// What one frame spent on slides rather than on drawing and swapping, and
// whether it had to wait for its loader.
struct FrameCost {
    // Taking slides from the loader, handing over, destroying the old one.
    std::chrono::nanoseconds slideWork{0};
    // No slide had been delivered yet: the frame was black.
    bool withoutSlide = false;
    // The fade was due but no successor was ready, so the slide was held.
    bool heldForSuccessor = false;
};

// The rendering object of one saver window: its pixel format, its own
// OpenGL context with a fixed perspective projection and swap interval 1,
// a texture pool at the texture limit, and a loader thread that keeps two
// slides ready. Lives on the thread that renders it, from the window's
// creation to its destruction. No frame waits for the loader: until the
// first slide is ready the display shows black.
//
// Teardown: the destructor destroys the slides, asks the loader to stop and
// waits for its thread until the stop bound (loaderStopBound from the first
// stop request) at most, then frees the loader, the pool, the device
// context and the context. A thread that has not ended by then, or that is
// busy with a picture only (inside the provider: a decode or a directory
// read), is left alone: "thread stop Failed: ..." goes to the debugger
// output and what the thread may still use is kept for good
// (left_behind.h; the context too when the thread is stuck past the bound
// rather than inside the provider), so the owner must then keep the provider too and end
// the process with endProcessNow. Call requestLoaderStop() on every Display
// before destroying the first, so that all loaders end in parallel and the
// bound holds for all of them together.
class Display {
public:
    // `window` is the saver window (HWND on Windows; natively a PlainWindow's
    // handle). `provider` is shared by every Display, not owned, and must
    // outlive this one. A window whose pixel format or context the platform
    // refuses gives a Display that stays black but renders, paces and closes
    // normally.
    Display(void* window, ImageProvider* provider, DisplayHooks hooks = {});
    ~Display();
    Display(const Display&) = delete;
    Display& operator=(const Display&) = delete;

    // One frame: timing in whole refresh periods, the slide or cross-fade,
    // the hand-over and the swap. Call once per idle pass of the message
    // loop, on the thread that constructed the Display.
    void renderFrame();

    // Follows a new size of the window (a Linux window may be resized under
    // the saver): the viewport, and with it each slide's aspect, from the
    // next frame on. Sizes below one pixel are ignored.
    void resize(int width, int height);

    // Asks the loader thread to end, without waiting, and starts the stop
    // bound. Safe to call more than once; the Display renders nothing new
    // afterwards.
    void requestLoaderStop();
    // Waits at most `bound` for the loader thread to end; true once it has.
    bool waitForLoader(std::chrono::milliseconds bound);
    // Slides the loader has ready, for tests; 0 without a loader.
    int queuedSlides();
    // While paused (the monitor is off) the loader prepares nothing. The
    // first frame after the pause moves the slides by one period, whatever
    // the time it lasted.
    void pauseLoader(bool paused);

    // False when the platform refused this window a context.
    bool hasContext() const { return context_ != nullptr; }
    // One refresh period of the window's monitor, in seconds.
    double framePeriod() const { return framePeriod_; }
    // The fade length drawn at the first frame and at every hand-over.
    float fadeSeconds() const { return fadeSeconds_; }
    // True when frames are paced by the loop's own wait instead of the swap.
    bool pacedByWait() const { return pacer_.pacing(); }
    // The slides on screen, for tests; null when absent.
    const Slide* current() const { return current_.get(); }
    const Slide* incoming() const { return incoming_.get(); }
    // The pool's texture edge; 0 without a context.
    int textureSize() const;
    // The cost of the frame rendered last.
    const FrameCost& lastFrameCost() const { return cost_; }

private:
    void drawNewFadeLength();
    // Takes the first slide if one is ready; false when none is.
    bool takeFirstSlide();
    double frameTime();
    void showBlack();
    // The pacing wait of a frame without a slide.
    void waitForFirstSlide(std::uint32_t milliseconds);
    void drawSlides(double dt, double remaining);
    // Draws `slide` and, the first time, tells the provider its picture is
    // on screen.
    void drawShown(Slide& slide, double dt, bool countDown);
    void handOver();
    std::uint32_t readClock();
    void wait(std::uint32_t milliseconds);

    DisplayHooks hooks_;
    ImageProvider* provider_ = nullptr;  // not owned; every display's
    double framePeriod_ = 1.0 / 60.0;
    std::uint32_t lastTickMs_ = 0;
    float fadeSeconds_ = 0.0f;
    std::unique_ptr<WindowSurface> surface_;
    std::unique_ptr<GLContext> context_;
    std::unique_ptr<TexturePool> pool_;
    std::unique_ptr<SlideLoader> loader_;
    std::unique_ptr<Slide> current_;
    std::unique_ptr<Slide> incoming_;
    FramePacer pacer_;
    bool stopping_ = false;
    bool paused_ = false;
    // The monitor came back on: the next frame's time starts afresh.
    bool resumed_ = false;
    // The loader ended with nothing left to deliver: it is not asked again.
    bool loaderGone_ = false;
    std::optional<std::chrono::steady_clock::time_point> stopDeadline_;
    FrameCost cost_;
};
