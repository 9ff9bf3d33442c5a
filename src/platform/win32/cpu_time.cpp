#include "platform/cpu_time.h"

#include <windows.h>

namespace {

std::chrono::nanoseconds ticks(const FILETIME& time) {
    ULARGE_INTEGER value{};
    value.LowPart = time.dwLowDateTime;
    value.HighPart = time.dwHighDateTime;
    return std::chrono::nanoseconds(value.QuadPart * 100);  // 100-ns units
}

}  // namespace

std::chrono::nanoseconds processCpuTime() {
    FILETIME created{}, exited{}, kernel{}, user{};
    if (!GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user)) return {};
    return ticks(kernel) + ticks(user);
}
