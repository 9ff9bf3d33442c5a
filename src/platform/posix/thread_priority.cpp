#include "platform/thread_priority.h"

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

// Priorities are relative to what the process was started with, as Windows'
// thread levels are relative to the process class: a saver or test started
// under `nice` must still lower its loaders below its main thread, not
// raise them to nice 1. Read once, before any thread changes its own value.
const int processNice = getpriority(PRIO_PROCESS, 0);

}  // namespace

// Linux schedules threads by their own nice value; raising it above the
// process's needs privileges, and a refusal is harmless.
void setCurrentThreadPriority(ThreadPriority priority) {
    int nice = processNice;
    if (priority == ThreadPriority::BelowNormal) nice += 1;
    if (priority == ThreadPriority::AboveNormal) nice -= 1;
    const auto tid = static_cast<id_t>(syscall(SYS_gettid));
    (void)setpriority(PRIO_PROCESS, tid, nice);
}
