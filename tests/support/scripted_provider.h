#pragma once
#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "images/image_provider.h"
#include "images/rgb_image.h"

// A picture source for loader and display tests. Picture n (from 1) is a
// solid colour of `colour(n)`, (16 + n) x 16 pixels, so its slide's aspect
// tells which picture it shows: n = 16 * aspect - 16; its file is
// "picture-n". Calls from a chosen one on can be held until released,
// standing in for a slow decode.
class ScriptedProvider final : public ImageProvider {
public:
    using Colour = std::function<std::array<unsigned char, 3>(int n)>;

    explicit ScriptedProvider(Colour colour = [](int) {
        return std::array<unsigned char, 3>{200, 200, 200};
    })
        : colour_(std::move(colour)) {}
    ~ScriptedProvider() { release(); }

    using ImageProvider::nextImage;
    std::unique_ptr<RGBImage> nextImage(const PictureNeed& need) override {
        std::unique_lock lock(mutex_);
        const int n = ++calls_;
        lastNeed_ = need;
        entered_.notify_all();
        held_.wait(lock, [&] { return holdFrom_ == 0 || n < holdFrom_; });
        lock.unlock();
        if (nullFrom_ != 0 && n >= nullFrom_ && n < nullUntil_) return nullptr;
        auto image = makeRGBImage(16 + n, 16);
        const auto c = colour_(n);
        for (int i = 0; i < (16 + n) * 16; ++i)
            for (int k = 0; k < 3; ++k) image->pixels[i * 3 + k] = c[k];
        image->files = {"picture-" + std::to_string(n)};
        return image;
    }
    void pictureShown(const std::string& file) override {
        std::lock_guard lock(mutex_);
        shown_.push_back(file);
    }
    // The files that displays said were on screen, in order.
    std::vector<std::string> shown() {
        std::lock_guard lock(mutex_);
        return shown_;
    }

    // Calls number `n` and later wait until release().
    void holdFrom(int n) {
        std::lock_guard lock(mutex_);
        holdFrom_ = n;
    }
    void release() {
        std::lock_guard lock(mutex_);
        holdFrom_ = 0;
        held_.notify_all();
    }
    // Calls number first..last-1 return no picture at all.
    void failCalls(int first, int last) { nullFrom_ = first, nullUntil_ = last; }
    // Waits until at least `n` calls have begun.
    bool waitForCalls(int n, std::chrono::milliseconds bound = std::chrono::seconds(20)) {
        std::unique_lock lock(mutex_);
        return entered_.wait_for(lock, bound, [&] { return calls_ >= n; });
    }
    int calls() {
        std::lock_guard lock(mutex_);
        return calls_;
    }
    // What the latest call asked for.
    PictureNeed lastNeed() {
        std::lock_guard lock(mutex_);
        return lastNeed_;
    }

    // The picture a slide shows, from its aspect.
    static int pictureOf(float aspect) { return static_cast<int>(aspect * 16.0f + 0.5f) - 16; }

private:
    const Colour colour_;
    std::mutex mutex_;
    std::condition_variable entered_;
    std::condition_variable held_;
    int calls_ = 0;     // guarded by mutex_
    int holdFrom_ = 0;  // guarded by mutex_; 0 holds nothing
    PictureNeed lastNeed_;  // guarded by mutex_
    std::vector<std::string> shown_;  // guarded by mutex_
    std::atomic<int> nullFrom_{0};
    std::atomic<int> nullUntil_{0};
};
