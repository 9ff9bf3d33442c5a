#pragma once
#include <chrono>

// Processor time the whole process has used so far, all threads, user and
// system; for tests that check that idle or failing work does not spin.
std::chrono::nanoseconds processCpuTime();
