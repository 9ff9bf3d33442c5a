#pragma once
#include <cstddef>

// Bytes of memory the process has committed for itself (heap, driver
// buffers), for tests that check that memory stays flat. Under the native
// sanitizers it is the sanitizer's count of live heap bytes, since their
// quarantine hides frees from the resident size.
std::size_t processMemoryInUse();

// Gives the heap's free pages back to the system (the C library keeps what
// large pictures left behind in its arenas otherwise). For idle moments: it
// walks the whole heap.
void returnFreeMemory();
