#include "platform/thread_priority.h"

#include <gtest/gtest.h>

#include <thread>

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>
#endif

namespace {

// The calling thread's priority as the OS reports it: Windows' priority
// level, or the negated nice value of the thread on Linux, so that higher
// means more urgent in both.
int osPriority() {
#ifdef _WIN32
    return GetThreadPriority(GetCurrentThread());
#else
    return -getpriority(PRIO_PROCESS, static_cast<id_t>(syscall(SYS_gettid)));
#endif
}

}  // namespace

TEST(ThreadPriority, LoweringTouchesOnlyTheCallingThread) {
    const int mainBefore = osPriority();
    int normal = 0, lowered = 0;
    std::thread worker([&] {
        normal = osPriority();
        setCurrentThreadPriority(ThreadPriority::BelowNormal);
        lowered = osPriority();
    });
    worker.join();
    EXPECT_LT(lowered, normal);
    EXPECT_EQ(osPriority(), mainBefore);
}

TEST(ThreadPriority, RaisingNeverLowersAndNormalRestores) {
    int normal = 0, raised = 0, restored = 0;
    std::thread worker([&] {
        normal = osPriority();
        // Unprivileged Linux processes may not raise their priority; the
        // request is then simply dropped.
        setCurrentThreadPriority(ThreadPriority::AboveNormal);
        raised = osPriority();
        setCurrentThreadPriority(ThreadPriority::Normal);
        restored = osPriority();
    });
    worker.join();
    EXPECT_GE(raised, normal);
    EXPECT_EQ(restored, normal);
}
