#pragma once
#include <future>
#include <memory>
#include <mutex>

#include "images/image_provider.h"
#include "images/random_image_provider.h"

// The shared provider with its first picture decoded from the start: the
// decode of a large photograph then runs while the display sets up its
// EGL context and loader, instead of after them, and the first picture is
// up sooner. Every later picture comes straight from the provider.
class HeadStartProvider final : public ImageProvider {
public:
    // `firstNeed`: what the display will show, as its loader would ask.
    explicit HeadStartProvider(std::unique_ptr<RandomImageProvider> provider,
                               PictureNeed firstNeed = {});
    // Waits for the early decode if nobody took it.
    ~HeadStartProvider();
    HeadStartProvider(const HeadStartProvider&) = delete;
    HeadStartProvider& operator=(const HeadStartProvider&) = delete;

    // The first call takes the early decode, made at the need given at
    // construction.
    std::unique_ptr<RGBImage> nextImage(const PictureNeed& need) override;
    void pictureShown(const std::string& file) override;
    using ImageProvider::nextImage;

    // The early decode still runs and nobody took it (the loader never
    // started): a process ending now must not wait for it.
    bool headStartRunning();

private:
    const std::unique_ptr<RandomImageProvider> provider_;
    std::mutex mutex_;
    std::future<std::unique_ptr<RGBImage>> first_;  // guarded by mutex_; taken once
};
