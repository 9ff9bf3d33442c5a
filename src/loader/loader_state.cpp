#include "loader/loader_state.h"

void LoaderState::reset() {
    std::lock_guard lock(mutex_);
    stopRequested_ = false;
}

void LoaderState::requestStop() {
    {
        std::lock_guard lock(mutex_);
        stopRequested_ = true;
    }
    wake_.notify_all();
}

bool LoaderState::enterProvider() {
    std::lock_guard lock(mutex_);
    // A stop that came since the thread's last look would otherwise still
    // start a whole decode.
    if (stopRequested_) return false;
    leavable_ = true;
    endOrLeavable_.notify_all();
    return true;
}

bool LoaderState::leaveProvider() {
    std::lock_guard lock(mutex_);
    // An owner that saw the mark and left the thread had requested the stop
    // before, so the thread sees it here.
    if (stopRequested_) return false;
    leavable_ = false;
    return true;
}

void LoaderState::finish() {
    std::lock_guard lock(mutex_);
    ended_ = true;
    endedFlag_.store(true, std::memory_order_release);
    endOrLeavable_.notify_all();
}

void LoaderState::setPaused(bool paused) {
    {
        std::lock_guard lock(mutex_);
        paused_ = paused;
    }
    wake_.notify_all();
}

bool LoaderState::waitWhilePaused() {
    std::unique_lock lock(mutex_);
    wake_.wait(lock, [this] { return !paused_ || stopRequested_; });
    return !stopRequested_;
}

bool LoaderState::pauseUnlessStopped(std::chrono::milliseconds pause) {
    std::unique_lock lock(mutex_);
    return !wake_.wait_for(lock, pause, [this] { return stopRequested_.load(); });
}

bool LoaderState::waitForEnd(std::chrono::milliseconds bound) {
    std::unique_lock lock(mutex_);
    return endOrLeavable_.wait_for(lock, bound, [this] { return ended_; });
}

bool LoaderState::waitUntilEndedOrLeavable(std::chrono::milliseconds bound) {
    std::unique_lock lock(mutex_);
    return endOrLeavable_.wait_for(lock, bound, [this] { return ended_ || leavable_; });
}
