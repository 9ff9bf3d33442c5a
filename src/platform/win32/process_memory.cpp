#include "platform/process_memory.h"

#include <malloc.h>
#include <windows.h>
#include <psapi.h>

std::size_t processMemoryInUse() {
    PROCESS_MEMORY_COUNTERS_EX counters{};
    counters.cb = sizeof counters;
    if (!GetProcessMemoryInfo(GetCurrentProcess(),
                              reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters),
                              sizeof counters))
        return 0;
    return counters.PrivateUsage;
}

void returnFreeMemory() { _heapmin(); }
