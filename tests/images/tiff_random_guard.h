#pragma once
#include <functional>

#include "display/random.h"

// Replaces the random generator for one test and restores it afterwards,
// so the float dither can be pinned down.
class RandomSourceGuard {
public:
    explicit RandomSourceGuard(std::function<int()> source) { setRandomSource(std::move(source)); }
    explicit RandomSourceGuard(int fixed) : RandomSourceGuard([fixed] { return fixed; }) {}
    ~RandomSourceGuard() { setRandomSource({}); }
    RandomSourceGuard(const RandomSourceGuard&) = delete;
    RandomSourceGuard& operator=(const RandomSourceGuard&) = delete;
};

// Generator values that make uniformReal(0, 1) just below and at or above 1/2.
constexpr int kDrawBelowHalf = 16383;
constexpr int kDrawAboveHalf = 16384;
