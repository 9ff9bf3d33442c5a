#include "linux/head_start_provider.h"

#include <chrono>

HeadStartProvider::HeadStartProvider(std::unique_ptr<RandomImageProvider> provider,
                                     PictureNeed firstNeed)
    : provider_(std::move(provider)) {
    first_ = std::async(std::launch::async, [source = provider_.get(), firstNeed] {
        return source->nextImage(firstNeed);
    });
}

HeadStartProvider::~HeadStartProvider() {
    std::lock_guard lock(mutex_);
    if (first_.valid()) first_.wait();
}

std::unique_ptr<RGBImage> HeadStartProvider::nextImage(const PictureNeed& need) {
    std::future<std::unique_ptr<RGBImage>> first;
    {
        std::lock_guard lock(mutex_);
        first = std::move(first_);
    }
    if (first.valid()) return first.get();
    return provider_->nextImage(need);
}

bool HeadStartProvider::headStartRunning() {
    std::lock_guard lock(mutex_);
    return first_.valid() && first_.wait_for(std::chrono::seconds(0)) != std::future_status::ready;
}

void HeadStartProvider::pictureShown(const std::string& file) { provider_->pictureShown(file); }
