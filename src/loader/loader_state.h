#pragma once
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>

// Where a loader thread stands, between the thread and its owner: the stop
// request, the pause, whether the thread is busy with a picture only
// (inside the provider, or sizing what it returned: leavable), and its end.
// The owner may leave a leavable thread running and go; the marks are
// taken under one lock, so a thread that enters or leaves the provider
// after a stop request sees it there and never goes on.
class LoaderState {
public:
    // Clears an earlier stop request; before the thread starts only.
    void reset();
    void requestStop();
    bool stopRequested() const { return stopRequested_.load(std::memory_order_acquire); }
    // The request as a flag that long work polls between bands.
    const std::atomic<bool>* stopFlag() const { return &stopRequested_; }

    // The thread is about to ask the provider: marks it leavable, unless a
    // stop was requested (false then: the thread must end without asking).
    bool enterProvider();
    // The thread goes on to the pool or its context: takes the mark away,
    // unless a stop was requested (false then: the thread must end without
    // touching either, as its owner may have left it).
    bool leaveProvider();
    void finish();
    bool ended() const { return endedFlag_.load(std::memory_order_acquire); }

    void setPaused(bool paused);
    // Waits while paused; false when a stop came.
    bool waitWhilePaused();
    // Waits `pause` unless a stop comes first; false then.
    bool pauseUnlessStopped(std::chrono::milliseconds pause);

    // Waits at most `bound` for the end; true once it came.
    bool waitForEnd(std::chrono::milliseconds bound);
    // Waits at most `bound` for the end or the leavable mark; true then.
    bool waitUntilEndedOrLeavable(std::chrono::milliseconds bound);

private:
    // Written under mutex_ (so that waits on wake_ see it), read without it
    // by the thread's polls.
    std::atomic<bool> stopRequested_{false};
    std::mutex mutex_;
    std::condition_variable endOrLeavable_;  // notified when ended_ or leavable_ turns true
    std::condition_variable wake_;           // notified on a stop request and on resume
    bool ended_ = false;                     // guarded by mutex_
    bool leavable_ = false;                  // guarded by mutex_
    bool paused_ = false;                    // guarded by mutex_
    std::atomic<bool> endedFlag_{false};     // ended_, for reads without the lock
};
