#pragma once
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

// SIGTERM, SIGINT and SIGHUP as a request to stop. Construct it before any
// other thread starts: it blocks the signals in the calling thread, so
// every thread started later inherits the mask, and a thread of its own
// takes them. XScreenSaver expects its programs gone at once after a
// SIGTERM: when the orderly end (`finished`) has not come `grace` after the
// signal, because a loader is deep in decoding a huge picture, say, that
// thread ends the process with status 0 itself.
class StopSignals {
public:
    explicit StopSignals(std::chrono::milliseconds grace);
    // Stops the signal thread; the signals stay blocked.
    ~StopSignals();
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;

    bool requested() const { return requested_.load(std::memory_order_acquire); }
    // The program has ended in order: the grace period's deadline is off.
    void finished();

private:
    void run();

    const std::chrono::milliseconds grace_;
    std::atomic<bool> requested_{false};
    std::atomic<bool> closing_{false};  // the destructor asks the thread to end
    std::mutex mutex_;
    std::condition_variable finishedSignal_;  // notified when finished_ turns true
    bool finished_ = false;                    // guarded by mutex_
    std::thread thread_;
};
