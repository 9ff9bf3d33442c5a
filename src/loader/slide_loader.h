#pragma once
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <semaphore>
#include <thread>

#include "images/picture_need.h"
#include "slides/slide_reach.h"
#include "loader/loader_state.h"
#include "loader/pair_composer.h"
#include "platform/gl_context.h"

class ImageProvider;
struct RGBImage;
class Slide;
class TexturePool;

// The background producer of one display's slides: a thread with a context
// of its own that shares texture names with the display's, asking the
// shared provider for pictures, uploading them through the display's pool
// and queueing them as slides with random paths, at most `capacity` ahead.
// Everything but the thread body runs on the display's thread.
//
// A picture that does not decode or upload costs the thread a pause before
// the next one, growing with every failure in a row up to kLongestPause, so
// a folder of broken files (or a driver that refuses every texture) does
// not keep a core busy.
class SlideLoader {
public:
    // The most slides one loader may hold at once.
    static constexpr int kMaxCapacity = 16;
    // How often an idle loader looks at the stop flag.
    static constexpr std::chrono::milliseconds kStopPoll{100};
    // The pause after the first failure in a row; it doubles with every
    // further one, up to kLongestPause.
    static constexpr std::chrono::milliseconds kFirstPause{50};
    static constexpr std::chrono::milliseconds kLongestPause{2000};

    // Creates the loader's context on `target`, sharing with `displayContext`
    // (a refused sharing is reported and leaves the loader without one).
    // `provider` and `pool` are not owned and must outlive the thread.
    // Starts nothing.
    SlideLoader(ImageProvider* provider, int capacity, TexturePool* pool, const GLTarget& target,
                const GLContext& displayContext);
    // Asks the thread to end and waits for it without a bound, then destroys
    // the slides still queued, giving their names back to the pool. A
    // loader whose thread may never end is not destroyed but left behind
    // (left_behind.h).
    ~SlideLoader();
    SlideLoader(const SlideLoader&) = delete;
    SlideLoader& operator=(const SlideLoader&) = delete;

    // False when the platform refused the loader a shared context; such a
    // loader never delivers a slide.
    bool hasContext() const { return context_ != nullptr; }
    void start();
    // A prepared slide, the oldest first; the caller owns it. With `block`
    // it waits until one is ready, or until the thread has ended and there
    // is none; without, it returns null at once when none is ready.
    std::unique_ptr<Slide> takeSlide(bool block);
    // Waits at most `bound` until a slide is ready, without taking it; true
    // when one is. Only for the one thread that takes slides.
    bool waitForSlide(std::chrono::milliseconds bound);
    // Slides ready to be taken, for tests.
    int queuedSlides();
    // True once the thread has ended (or was never started): what is still
    // queued is all it will ever deliver.
    bool ended() const { return state_.ended(); }
    // Asks the thread to end, without waiting. A decode under way runs to
    // its end; the sizing of a picture, the making of its mipmap levels and
    // its upload stop at their next band (a row, or an upload block).
    void requestStop();
    // From the next picture on, the display's reach: its box (the slides'
    // size at their nearest approach) sizes the textures, its need is what
    // the provider is asked for. Unbounded at first.
    void setPictureReach(const DisplayReach& reach);
    // While paused the thread asks for no picture and uploads nothing.
    void setPaused(bool paused);
    // requestStop, then waits at most `bound` for the thread; true when it
    // has ended, in which case its context is deleted too.
    bool stop(std::chrono::milliseconds bound);
    // Waits at most `bound` for the thread to end; true when it has.
    bool waitForThread(std::chrono::milliseconds bound);
    // After requestStop: waits at most `bound` until the thread has ended or
    // is busy with a picture only (inside the provider, or sizing what it
    // returned), where it touches nothing but the provider and its own
    // picture and will never go on to the pool or its context. True then.
    bool waitUntilEndedOrLeavable(std::chrono::milliseconds bound);

    // The monitor's size, whose shape decides which pictures share a slide
    // (theSettings.pairs); until it is set every picture shows alone. Any
    // thread.
    void setScreenSize(int width, int height);

    // Direction of the next slide's path; set before start(), then the
    // thread's alone.
    bool reverseNext = true;

private:
    using Semaphore = std::counting_semaphore<kMaxCapacity>;

    void run();
    // False when the picture gave no slide.
    bool prepareSlide(std::unique_ptr<RGBImage> picture, const PictureNeed& box);
    DisplayReach pictureReach();
    void finish();

    ImageProvider* const provider_;  // not owned
    TexturePool* const pool_;        // not owned
    const int capacity_;
    std::unique_ptr<GLContext> context_;  // current only on the thread while it runs

    std::mutex queueMutex_;
    std::deque<std::unique_ptr<Slide>> queue_;  // guarded by queueMutex_, one push or pop at a time
    std::condition_variable slideQueued_;       // with queueMutex_: notified on every push
    Semaphore readySlides_{0};                  // one count per slide in queue_
    Semaphore freeSlots_{0};                    // one count per slide the thread may still prepare
    LoaderState state_;
    std::atomic<int> screenWidth_{0};   // setScreenSize's, read by the thread
    std::atomic<int> screenHeight_{0};
    PairComposer pairs_;                 // the thread's alone
    bool preparedOne_ = false;           // the thread's alone
    std::mutex reachMutex_;
    DisplayReach reach_;                 // guarded by reachMutex_
    std::thread thread_;
};
