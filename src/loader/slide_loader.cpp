#include "loader/slide_loader.h"

#include "images/image_provider.h"
#include "images/pixel_buffer_pool.h"
#include "platform/debug_output.h"
#include "platform/gl.h"
#include "platform/process_memory.h"
#include "platform/system_error.h"
#include "platform/thread_priority.h"
#include "settings/settings.h"
#include "slides/slide.h"
#include "slides/slide_texture.h"
#include "slides/texture_pool.h"

#include <algorithm>
#include <cstdio>
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

// A step of preparing one picture that takes this long is worth a line in
// the debugger output: it tells a slow picture from a slow saver.
constexpr auto kSlowStep = std::chrono::milliseconds(500);

void reportSlowStep(const char* step, std::chrono::steady_clock::time_point start) {
    const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now() - start);
    if (took < kSlowStep) return;
    char line[96];
    std::snprintf(line, sizeof line, "Glimmora.scr: a picture took %lld ms to %s\n",
                  static_cast<long long>(took.count()), step);
    debugOutput(line);
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
    state_.reset();
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
    // A pair is never larger than the pool's textures can show.
    const int largestPair = std::max(pool_->width(), pool_->height());
    bool idle = false;
    while (!state_.stopRequested()) {
        if (!state_.waitWhilePaused()) break;
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
        if (!state_.enterProvider()) break;
        const DisplayReach reach = pictureReach();
        const PictureNeed& box = reach.box;
        const PictureNeed& need = reach.need;
        const auto decodeStart = std::chrono::steady_clock::now();
        // A stop ends the search for a partner; what was picked waits.
        auto picture = pairs_.next(
            [this, &need]() -> std::unique_ptr<RGBImage> {
                if (state_.stopRequested()) return nullptr;
                return provider_->nextImage(need);
            },
            screenWidth_.load(), screenHeight_.load(), theSettings.pairs, largestPair);
        // A stop that came during the decode frees the picture unused.
        if (state_.stopRequested()) break;
        reportSlowStep("decode", decodeStart);
        if (prepareSlide(std::move(picture), box)) {
            failuresInARow = 0;
            continue;
        }
        if (state_.stopRequested()) break;
        // Never to be shown: the slot goes to the next picture, after a
        // pause that grows while the failures go on.
        freeSlots_.release();
        const int doublings = std::min(failuresInARow, 8);
        ++failuresInARow;
        const auto pause = std::min(kFirstPause * (1 << doublings), kLongestPause);
        if (!state_.pauseUnlessStopped(pause)) break;
    }
    // No context stays current on a thread that is gone, whichever way it
    // leaves.
    GLContext::releaseCurrent();
    finish();
}

bool SlideLoader::prepareSlide(std::unique_ptr<RGBImage> picture, const PictureNeed& box) {
    std::vector<std::string> files;
    if (picture) files = std::move(picture->files);
    auto texture = std::make_unique<SlideTexture>();
    // Until the first slide is ready the display shows black and its
    // thread waits: the sizing may take a second processor meanwhile.
    if (!preparedOne_) texture->setSizingThreads(2);
    // Sizing the picture touches nothing of the display's either.
    const auto sizingStart = std::chrono::steady_clock::now();
    const bool prepared = texture->prepare(std::move(picture), *pool_, box, state_.stopFlag());
    if (!state_.leaveProvider()) return false;
    if (!prepared) return false;
    reportSlowStep("size", sizingStart);
    preparedOne_ = true;
    texture->uploadPrepared(state_.stopFlag());
    if (!texture->valid()) return false;
    // The display's context draws these texels; they must all have landed
    // before it can see the slide, or a reused name could show its old
    // picture or a torn one.
    glFinish();
    auto slide = std::make_unique<Slide>(std::move(texture));
    slide->files = std::move(files);
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

void SlideLoader::finish() { state_.finish(); }

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

int SlideLoader::queuedSlides() {
    std::lock_guard lock(queueMutex_);
    return static_cast<int>(queue_.size());
}

void SlideLoader::setScreenSize(int width, int height) {
    screenWidth_.store(width);
    screenHeight_.store(height);
}

void SlideLoader::setPictureReach(const DisplayReach& reach) {
    std::lock_guard lock(reachMutex_);
    reach_ = reach;
}

DisplayReach SlideLoader::pictureReach() {
    std::lock_guard lock(reachMutex_);
    return reach_;
}

void SlideLoader::requestStop() { state_.requestStop(); }

void SlideLoader::setPaused(bool paused) { state_.setPaused(paused); }

bool SlideLoader::waitForThread(std::chrono::milliseconds bound) { return state_.waitForEnd(bound); }

bool SlideLoader::waitUntilEndedOrLeavable(std::chrono::milliseconds bound) {
    return state_.waitUntilEndedOrLeavable(bound);
}

bool SlideLoader::stop(std::chrono::milliseconds bound) {
    requestStop();
    if (!waitForThread(bound)) return false;
    if (thread_.joinable()) thread_.join();
    context_.reset();
    return true;
}
