#pragma once
#include <chrono>
#include <cstddef>
#include <memory>
#include <vector>

class SlideLoader;

// Loaders whose thread could not be stopped in time (a decode or a
// directory read that does not return) and everything such a thread may
// still use. They are kept for the rest of the process and never freed:
// the process ends under them (endProcessNow) rather than freeing anything
// a running thread could reach. Main thread only, apart from the waits.
namespace left_behind {

// Keeps `loader`, whose stop was requested, and the objects its thread may
// reach (the pool, the window surface, the provider...).
void keep(std::unique_ptr<SlideLoader> loader, std::vector<std::shared_ptr<void>> uses);
// Keeps one more object a kept loader's thread may reach.
void keepAlso(std::shared_ptr<void> use);
// How many loaders were left behind in this process.
std::size_t count();
// Waits at most `bound` until every kept loader's thread has ended; true
// then. For tests, which release what held the threads and must not free
// the provider before they are done.
bool waitUntilAllEnded(std::chrono::milliseconds bound);

}  // namespace left_behind
