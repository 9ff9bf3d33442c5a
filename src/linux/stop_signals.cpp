#include "linux/stop_signals.h"

#include <csignal>
#include <ctime>

#include <pthread.h>
#include <unistd.h>

namespace {

sigset_t stopSet() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGTERM);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGHUP);
    return set;
}

// How often the signal thread looks whether it is to end.
constexpr long kPollNanoseconds = 100'000'000;

}  // namespace

StopSignals::StopSignals(std::chrono::milliseconds grace) : grace_(grace) {
    const sigset_t set = stopSet();
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
    thread_ = std::thread([this] { run(); });
}

StopSignals::~StopSignals() {
    finished();
    closing_.store(true, std::memory_order_release);
    if (thread_.joinable()) thread_.join();
}

void StopSignals::finished() {
    {
        std::lock_guard lock(mutex_);
        finished_ = true;
    }
    finishedSignal_.notify_all();
}

void StopSignals::run() {
    const sigset_t set = stopSet();
    const timespec poll{0, kPollNanoseconds};
    while (!closing_.load(std::memory_order_acquire)) {
        if (sigtimedwait(&set, nullptr, &poll) < 0) continue;
        requested_.store(true, std::memory_order_release);
        std::unique_lock lock(mutex_);
        if (!finishedSignal_.wait_for(lock, grace_, [this] { return finished_; })) _exit(0);
        return;
    }
}
