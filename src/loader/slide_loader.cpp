#include "loader/slide_loader.h"

#include "images/image_provider.h"
#include "platform/gl.h"
#include "platform/system_error.h"
#include "platform/thread_priority.h"
#include "slides/slide.h"
#include "slides/slide_texture.h"
#include "slides/texture_pool.h"

#include <algorithm>
#include <string>

namespace {

// The loader draws nothing: its context needs the window's device context
// on Windows and only a token drawable under EGL, a pbuffer on the window's
// connection (an EGL window surface serves one context only).
GLTarget loaderTarget(GLTarget target) {
    target.width = 1;
    target.height = 1;
    target.nativeWindow = 0;
    return target;
}

}  // namespace

SlideLoader::SlideLoader(ImageProvider* provider, int capacity, TexturePool* pool,
                         const GLTarget& target, const GLContext& displayContext)
    : provider_(provider),
      pool_(pool),
      capacity_(std::clamp(capacity, 1, kMaxCapacity)),
      context_(GLContext::create(loaderTarget(target), &displayContext)),
      freeSlots_(capacity_) {}

SlideLoader::~SlideLoader() {
    requestStop();
    if (thread_.joinable()) thread_.join();
    context_.reset();
    // Front to back, each slide giving its texture name back to the pool.
    while (!queue_.empty()) queue_.pop_front();
}

void SlideLoader::start() {
    stopRequested_ = false;
    if (!context_ || !provider_ || !pool_) {
        finish();
        return;
    }
    thread_ = std::thread([this] { run(); });
}

void SlideLoader::run() {
    setCurrentThreadPriority(ThreadPriority::BelowNormal);
    if (!context_->makeCurrent()) {
        // Without its context nothing it uploads would reach the display;
        // the display stays black instead of waiting for ever.
        reportSystemFailure((std::string("thread ") + kMakeCurrentOperation).c_str());
        finish();
        return;
    }
    while (!stopRequested_) {
        if (!freeSlots_.try_acquire_for(kStopPoll)) continue;
        if (stopRequested_) break;
        auto picture = provider_->nextImage();
        // A stop that came during the decode frees the picture unused.
        if (stopRequested_) break;
        prepareSlide(std::move(picture));
    }
    // No context stays current on a thread that is gone, whichever way it
    // leaves.
    GLContext::releaseCurrent();
    finish();
}

void SlideLoader::prepareSlide(std::unique_ptr<RGBImage> picture) {
    auto texture = std::make_unique<SlideTexture>();
    texture->upload(std::move(picture), *pool_);
    if (!texture->valid()) {
        // Never to be shown: the slot goes to the next picture.
        freeSlots_.release();
        return;
    }
    // The display's context draws these texels; they must all have landed
    // before it can see the slide, or a reused name could show its old
    // picture or a torn one.
    glFinish();
    auto slide = std::make_unique<Slide>(std::move(texture));
    slide->randomize(reverseNext);
    reverseNext = !reverseNext;
    {
        std::lock_guard lock(queueMutex_);
        queue_.push_back(std::move(slide));
    }
    readySlides_.release();
}

void SlideLoader::finish() {
    std::lock_guard lock(endMutex_);
    ended_ = true;
    endedFlag_ = true;
    endSignal_.notify_all();
}

std::unique_ptr<Slide> SlideLoader::takeSlide(bool block) {
    if (block) {
        while (!readySlides_.try_acquire_for(kStopPoll)) {
            // A thread that has ended delivers nothing more.
            if (endedFlag_ && !readySlides_.try_acquire()) return nullptr;
            if (endedFlag_) break;
        }
    } else if (!readySlides_.try_acquire()) {
        return nullptr;
    }
    std::unique_ptr<Slide> slide;
    {
        std::lock_guard lock(queueMutex_);
        slide = std::move(queue_.front());
        queue_.pop_front();
    }
    freeSlots_.release();
    return slide;
}

void SlideLoader::requestStop() { stopRequested_ = true; }

bool SlideLoader::waitForThread(std::chrono::milliseconds bound) {
    std::unique_lock lock(endMutex_);
    return endSignal_.wait_for(lock, bound, [this] { return ended_; });
}

bool SlideLoader::stop(std::chrono::milliseconds bound) {
    requestStop();
    if (!waitForThread(bound)) return false;
    if (thread_.joinable()) thread_.join();
    context_.reset();
    return true;
}
