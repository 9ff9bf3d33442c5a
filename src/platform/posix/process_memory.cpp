#include "platform/process_memory.h"

#include <malloc.h>

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define GLIMMORA_SANITIZED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define GLIMMORA_SANITIZED 1
#endif
#endif

#ifdef GLIMMORA_SANITIZED
// From the sanitizer runtimes' allocator interface; GCC does not install
// its header.
extern "C" std::size_t __sanitizer_get_current_allocated_bytes();
#endif

std::size_t processMemoryInUse() {
#ifdef GLIMMORA_SANITIZED
    return __sanitizer_get_current_allocated_bytes();
#else
    const struct mallinfo2 info = mallinfo2();
    return info.uordblks + info.hblkhd;
#endif
}

void returnFreeMemory() { malloc_trim(0); }
