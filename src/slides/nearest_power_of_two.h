#pragma once

// The power of two nearest to a side length n >= 1; a tie goes to the larger
// one (3 gives 4, 768 gives 1024).
constexpr int nearestPowerOfTwo(int n) {
    int p = 1;
    while (p < n) p *= 2;
    const int q = p / 2;
    return n - q < p - n ? q : p;
}
