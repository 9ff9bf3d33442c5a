#pragma once
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <semaphore>
#include <thread>

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
class SlideLoader {
public:
    // The most slides one loader may hold at once.
    static constexpr int kMaxCapacity = 16;
    // How often an idle loader looks at the stop flag.
    static constexpr std::chrono::milliseconds kStopPoll{100};

    // Creates the loader's context on `target`, sharing with `displayContext`
    // (a refused sharing is reported and leaves the loader without one).
    // `provider` and `pool` are not owned and must outlive the thread.
    // Starts nothing.
    SlideLoader(ImageProvider* provider, int capacity, TexturePool* pool, const GLTarget& target,
                const GLContext& displayContext);
    // Asks the thread to end and waits for it without a bound, then destroys
    // the slides still queued, giving their names back to the pool.
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
    // Asks the thread to end, without waiting.
    void requestStop();
    // requestStop, then waits at most `bound` for the thread; true when it
    // has ended, in which case its context is deleted too.
    bool stop(std::chrono::milliseconds bound);
    // Waits at most `bound` for the thread to end; true when it has.
    bool waitForThread(std::chrono::milliseconds bound);

    // Direction of the next slide's path; set before start(), then the
    // thread's alone.
    bool reverseNext = true;

private:
    using Semaphore = std::counting_semaphore<kMaxCapacity>;

    void run();
    void prepareSlide(std::unique_ptr<RGBImage> picture);
    void finish();

    ImageProvider* const provider_;  // not owned
    TexturePool* const pool_;        // not owned
    const int capacity_;
    std::unique_ptr<GLContext> context_;  // current only on the thread while it runs

    std::mutex queueMutex_;
    std::deque<std::unique_ptr<Slide>> queue_;  // guarded by queueMutex_, one push or pop at a time
    Semaphore readySlides_{0};                  // one count per slide in queue_
    Semaphore freeSlots_{0};                    // one count per slide the thread may still prepare
    std::atomic<bool> stopRequested_{false};

    std::mutex endMutex_;
    std::condition_variable endSignal_;  // notified when ended_ turns true
    bool ended_ = false;                 // guarded by endMutex_
    std::atomic<bool> endedFlag_{false};  // the same, for takeSlide's polls
    std::thread thread_;
};
