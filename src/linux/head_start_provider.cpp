#include "linux/head_start_provider.h"

HeadStartProvider::HeadStartProvider(std::unique_ptr<RandomImageProvider> provider)
    : provider_(std::move(provider)) {
    first_ = std::async(std::launch::async, [source = provider_.get()] { return source->nextImage(); });
}

HeadStartProvider::~HeadStartProvider() {
    std::lock_guard lock(mutex_);
    if (first_.valid()) first_.wait();
}

std::unique_ptr<RGBImage> HeadStartProvider::nextImage() {
    std::future<std::unique_ptr<RGBImage>> first;
    {
        std::lock_guard lock(mutex_);
        first = std::move(first_);
    }
    if (first.valid()) return first.get();
    return provider_->nextImage();
}
