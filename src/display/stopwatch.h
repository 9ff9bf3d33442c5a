#pragma once
#include <chrono>

// Adds the time from its construction to its end to `total`.
class Stopwatch {
public:
    explicit Stopwatch(std::chrono::nanoseconds& total)
        : total_(total), start_(std::chrono::steady_clock::now()) {}
    ~Stopwatch() { total_ += std::chrono::steady_clock::now() - start_; }
    Stopwatch(const Stopwatch&) = delete;
    Stopwatch& operator=(const Stopwatch&) = delete;

private:
    std::chrono::nanoseconds& total_;
    const std::chrono::steady_clock::time_point start_;
};
