#include "loader/slide_loader.h"

#include "images/image_provider.h"
#include "images/pixel_buffer_pool.h"
#include "platform/gl.h"
#include "platform/process_memory.h"
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
        // the loader ends, and its display stops asking it.
        reportSystemFailure((std::string("thread ") + kMakeCurrentOperation).c_str());
        finish();
        return;
    }
    int failuresInARow = 0;
    bool idle = false;
    while (!stopRequested_) {
        if (!waitWhilePaused()) break;
        if (!freeSlots_.try_acquire()) {
            // Nothing to prepare until the display takes a slide, seconds
            // from now: the picture buffers kept for the next picture go
            // back to the system meanwhile, so an idle saver holds little
            // more than its textures.
            if (!idle) {
                PixelBufferPool::instance().trim();
                returnFreeMemory();
                idle = true;
            }
            if (!freeSlots_.try_acquire_for(kStopPoll)) continue;
        }
        idle = false;
        if (stopRequested_) break;
        markLeavable(true);
        const PictureNeed need = pictureNeed();
        auto picture = provider_->nextImage(need);
        // A stop that came during the decode frees the picture unused.
        if (stopRequested_) break;
        if (prepareSlide(std::move(picture), need)) {
            failuresInARow = 0;
            continue;
        }
        if (stopRequested_) break;
        // Never to be shown: the slot goes to the next picture, after a
        // pause that grows while the failures go on.
        freeSlots_.release();
        const int doublings = std::min(failuresInARow, 8);
        ++failuresInARow;
        const auto pause = std::min(kFirstPause * (1 << doublings), kLongestPause);
        if (!pauseUnlessStopped(pause)) break;
    }
    // No context stays current on a thread that is gone, whichever way it
    // leaves.
    GLContext::releaseCurrent();
    finish();
}

bool SlideLoader::prepareSlide(std::unique_ptr<RGBImage> picture, const PictureNeed& need) {
    auto texture = std::make_unique<SlideTexture>();
    // Sizing the picture touches nothing of the display's either.
    const bool prepared = texture->prepare(std::move(picture), *pool_, need);
    if (!markLeavable(false)) return false;
    if (!prepared) return false;
    texture->uploadPrepared(&stopRequested_);
    if (!texture->valid()) return false;
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
        // Counted before the lock goes: a slide that waitForSlide sees
        // queued can be taken at once.
        readySlides_.release();
    }
    slideQueued_.notify_all();
    return true;
}

bool SlideLoader::markLeavable(bool leavable) {
    std::lock_guard lock(stateMutex_);
    if (leavable) {
        leavable_ = true;
        endSignal_.notify_all();
        return true;
    }
    // Under the lock: an owner that saw the mark and left the thread had
    // requested the stop before, so the thread sees it here and never goes
    // on to the pool or its context.
    if (stopRequested_) return false;
    leavable_ = false;
    return true;
}

bool SlideLoader::waitWhilePaused() {
    std::unique_lock lock(stateMutex_);
    wakeSignal_.wait(lock, [this] { return !paused_ || stopRequested_; });
    return !stopRequested_;
}

bool SlideLoader::pauseUnlessStopped(std::chrono::milliseconds pause) {
    std::unique_lock lock(stateMutex_);
    return !wakeSignal_.wait_for(lock, pause, [this] { return stopRequested_.load(); });
}

void SlideLoader::finish() {
    std::lock_guard lock(stateMutex_);
    ended_ = true;
    endedFlag_.store(true, std::memory_order_release);
    endSignal_.notify_all();
}

std::unique_ptr<Slide> SlideLoader::takeSlide(bool block) {
    if (block) {
        // The end is read once per round. Every slide the thread queued was
        // counted in readySlides_ before it set the flag, so a take that
        // has seen the flag finds any slide still queued with one more try,
        // and one that finds none returns null without touching the queue.
        while (!readySlides_.try_acquire_for(kStopPoll)) {
            if (!ended()) continue;
            if (readySlides_.try_acquire()) break;
            return nullptr;
        }
    } else if (!readySlides_.try_acquire()) {
        return nullptr;
    }
    // A count was acquired: exactly one slide is ours in the queue.
    std::unique_ptr<Slide> slide;
    {
        std::lock_guard lock(queueMutex_);
        slide = std::move(queue_.front());
        queue_.pop_front();
    }
    freeSlots_.release();
    return slide;
}

bool SlideLoader::waitForSlide(std::chrono::milliseconds bound) {
    // A condition variable, not the semaphore's timed acquire: waited on
    // every frame, the latter took about a seventh of a core in the
    // Windows build.
    std::unique_lock lock(queueMutex_);
    return slideQueued_.wait_for(lock, bound, [this] { return !queue_.empty(); });
}

void SlideLoader::requestStop() {
    {
        std::lock_guard lock(stateMutex_);
        stopRequested_ = true;
    }
    wakeSignal_.notify_all();
}

void SlideLoader::setPictureNeed(const PictureNeed& need) {
    std::lock_guard lock(stateMutex_);
    need_ = need;
}

PictureNeed SlideLoader::pictureNeed() {
    std::lock_guard lock(stateMutex_);
    return need_;
}

void SlideLoader::setPaused(bool paused) {
    {
        std::lock_guard lock(stateMutex_);
        paused_ = paused;
    }
    wakeSignal_.notify_all();
}

bool SlideLoader::waitForThread(std::chrono::milliseconds bound) {
    std::unique_lock lock(stateMutex_);
    return endSignal_.wait_for(lock, bound, [this] { return ended_; });
}

bool SlideLoader::waitUntilEndedOrLeavable(std::chrono::milliseconds bound) {
    std::unique_lock lock(stateMutex_);
    return endSignal_.wait_for(lock, bound, [this] { return ended_ || leavable_; });
}

bool SlideLoader::stop(std::chrono::milliseconds bound) {
    requestStop();
    if (!waitForThread(bound)) return false;
    if (thread_.joinable()) thread_.join();
    context_.reset();
    return true;
}
