#include "display/random.h"
#include "display/single_precision.h"

#include <cmath>
#include <mutex>
#include <utility>

namespace {

// The C standard's portable rand(): the same 15-bit sequence on every
// platform. The C library's own rand() will not do on Windows, where the
// runtime keeps one state per thread: loader threads would all replay the
// unseeded sequence instead of continuing the clock-seeded one.
class Generator {
public:
    void seed(std::uint32_t s) { state_ = s; }
    int next() {
        state_ = state_ * 1103515245u + 12345u;
        return static_cast<int>((state_ / 65536u) % 32768u);
    }

private:
    std::uint32_t state_ = 1;
};

struct RandomState {
    std::mutex mutex;
    Generator generator;           // guarded by mutex
    std::function<int()> source;   // guarded by mutex; replaces generator when set
    bool hasSpare = false;         // guarded by mutex
    float spare = 0.0f;            // guarded by mutex

    // Caller holds mutex.
    int draw() { return source ? source() & 0x7FFF : generator.next(); }
};

RandomState& state() {
    static RandomState s;
    return s;
}

constexpr double kInverseMax = 1.0 / 32767.0;

}  // namespace

void seedRandom(std::uint32_t seed) {
    auto& s = state();
    std::lock_guard lock(s.mutex);
    s.generator.seed(seed);
}

int randomValue() {
    auto& s = state();
    std::lock_guard lock(s.mutex);
    return s.draw();
}

double uniformReal(double a, double b) {
    auto& s = state();
    std::lock_guard lock(s.mutex);
    const int r = s.draw();
    return a + r * (b - a) * kInverseMax;
}

int uniformInt(int a, int b) {
    // A reversed range would divide by zero (b = a - 1) or step outside it.
    if (b < a) std::swap(a, b);
    auto& s = state();
    std::lock_guard lock(s.mutex);
    const int r = s.draw();
    // In 64 bits so that the widest ranges (b - a + 1 past INT_MAX) still
    // give the divisor of 1 that the formula means.
    const std::int64_t span = static_cast<std::int64_t>(b) - a + 1;
    const std::int64_t d = 32767 / span + 1;
    return static_cast<int>(a + r / d);
}

int wideUniformInt(int a, int b) {
    if (b < a) std::swap(a, b);
    auto& s = state();
    std::lock_guard lock(s.mutex);
    const std::int64_t high = s.draw();
    const std::int64_t r = (high << 15) | s.draw();
    const std::int64_t span = static_cast<std::int64_t>(b) - a + 1;
    // r * span < 2^30 * 2^32: no overflow in 64 bits.
    return static_cast<int>(a + ((r * span) >> 30));
}

double gaussian(float mean, float sigma) {
    auto& s = state();
    std::lock_guard lock(s.mutex);
    if (s.hasSpare) {
        s.hasSpare = false;
        return static_cast<double>(s.spare) * sigma + mean;
    }
    float u = 0.0f, v = 0.0f;
    double sq = 0.0;
    do {
        u = singlePrecision(2.0 * s.draw() * kInverseMax - 1.0);
        v = singlePrecision(2.0 * s.draw() * kInverseMax - 1.0);
        sq = static_cast<double>(u) * u + static_cast<double>(v) * v;
    } while (sq >= 1.0);
    s.hasSpare = true;
    const float m = singlePrecision(std::sqrt(-2.0 * std::log(sq) / sq));
    s.spare = v * m;
    return mean + static_cast<double>(sigma) * (static_cast<double>(u) * m);
}

void setRandomSource(std::function<int()> source) {
    auto& s = state();
    std::lock_guard lock(s.mutex);
    s.source = std::move(source);
    s.hasSpare = false;
}
