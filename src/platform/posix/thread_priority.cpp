#include "platform/thread_priority.h"

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

// Linux schedules threads by their own nice value; raising it above the
// process's needs privileges, and a refusal is harmless.
void setCurrentThreadPriority(ThreadPriority priority) {
    int nice = 0;
    if (priority == ThreadPriority::BelowNormal) nice = 1;
    if (priority == ThreadPriority::AboveNormal) nice = -1;
    const auto tid = static_cast<id_t>(syscall(SYS_gettid));
    (void)setpriority(PRIO_PROCESS, tid, nice);
}
