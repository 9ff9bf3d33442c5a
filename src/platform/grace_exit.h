#pragma once
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

// A last resort for a process that is closing: once armed, it ends the
// process with the given status when the grace runs out before it is
// disarmed, whatever the main thread is stuck in (a loader's thread that
// holds the driver, a wait that does not return). The watch runs on a
// thread of its own, started by arm().
class GraceExit {
public:
    // What ends the process; tests put a recorder here. The default is
    // endProcessNow.
    using Ending = std::function<void(int status)>;

    explicit GraceExit(Ending ending = {});
    // Disarms and waits for the watch to end.
    ~GraceExit();
    GraceExit(const GraceExit&) = delete;
    GraceExit& operator=(const GraceExit&) = delete;

    // Starts the watch; a second call while armed changes nothing.
    void arm(std::chrono::milliseconds grace, int status);
    // The process winds down in time: the watch ends without acting.
    void disarm();

private:
    void watch(std::chrono::milliseconds grace, int status);

    const Ending ending_;
    std::mutex mutex_;
    std::condition_variable disarmed_;  // notified when disarmedFlag_ turns true
    bool disarmedFlag_ = false;         // guarded by mutex_
    std::thread thread_;                // started once, by arm()
};
