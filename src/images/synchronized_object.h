#pragma once
#include <mutex>

// Gives a class one plain mutex of its own. The lock is never taken twice by
// the same thread, so it need not be recursive.
class SynchronizedObject {
public:
    void lock() { mutex_.lock(); }
    void unlock() { mutex_.unlock(); }
    bool tryLock() { return mutex_.try_lock(); }

private:
    std::mutex mutex_;
};
