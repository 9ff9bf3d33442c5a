#pragma once
#include <cstdint>
#include <functional>

// All randomness of the saver: one process-wide 15-bit generator (0..32767)
// and the draws built on it. Every call is one indivisible step with respect
// to the others, whichever thread makes it.

// Restarts the generator's sequence from `seed`.
void seedRandom(std::uint32_t seed);

// One raw generator value in 0..32767.
int randomValue();

// a + r (b - a) / 32767: [a, b] in 32768 even steps, both ends included.
double uniformReal(double a, double b);

// a + r / (32767 / (b - a + 1) + 1). Over more than 194 values the top of the
// range is usually out of reach; callers rely on exactly this behaviour.
// Bounds given the wrong way round (b < a) mean the same range as (b, a).
int uniformInt(int a, int b);

// An integer in [a, b], both included, from two generator values (30 bits)
// scaled over the range, so that every value can come out for ranges of up
// to 2^30 values, each about equally often. For the shuffle of lists too
// long for uniformInt's reach. Bounds in either order, like uniformInt.
int wideUniformInt(int a, int b);

// Normal deviate by the polar method; every second call uses the deviate
// cached by the first, scaled by its own mean and sigma.
double gaussian(float mean, float sigma);

// Test seam: draws come from `source` (which must yield 0..32767) instead of
// the generator while it is set; an empty function restores the generator.
// The cached gaussian deviate is dropped either way.
void setRandomSource(std::function<int()> source);
