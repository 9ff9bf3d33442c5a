#include "platform/thread_priority.h"

#include <windows.h>

void setCurrentThreadPriority(ThreadPriority priority) {
    int value = THREAD_PRIORITY_NORMAL;
    if (priority == ThreadPriority::BelowNormal) value = THREAD_PRIORITY_BELOW_NORMAL;
    if (priority == ThreadPriority::AboveNormal) value = THREAD_PRIORITY_ABOVE_NORMAL;
    SetThreadPriority(GetCurrentThread(), value);
}
