#include "platform/grace_exit.h"

#include "platform/process_exit.h"

GraceExit::GraceExit(Ending ending) : ending_(std::move(ending)) {}

GraceExit::~GraceExit() {
    disarm();
    if (thread_.joinable()) thread_.join();
}

void GraceExit::arm(std::chrono::milliseconds grace, int status) {
    std::lock_guard lock(mutex_);
    if (thread_.joinable() || disarmedFlag_) return;
    thread_ = std::thread([this, grace, status] { watch(grace, status); });
}

void GraceExit::disarm() {
    {
        std::lock_guard lock(mutex_);
        disarmedFlag_ = true;
    }
    disarmed_.notify_all();
}

void GraceExit::watch(std::chrono::milliseconds grace, int status) {
    std::unique_lock lock(mutex_);
    if (disarmed_.wait_for(lock, grace, [this] { return disarmedFlag_; })) return;
    lock.unlock();
    if (ending_) {
        ending_(status);
    } else {
        endProcessNow(status);
    }
}
