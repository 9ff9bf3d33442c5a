#include "images/pixel_buffer_pool.h"

#include <array>
#include <cstdlib>
#include <new>

// Never more than kMaxKeptBuffers are kept, so pushing one never
// reallocates (and never throws) once this is reserved.
PixelBufferPool::PixelBufferPool() { kept_.reserve(kMaxKeptBuffers); }

PixelBufferPool::~PixelBufferPool() { trim(); }

PixelBufferPool& PixelBufferPool::instance() {
    // Never destroyed: a picture held by a static object, or by a thread
    // still winding down, may be given back during static destruction.
    static PixelBufferPool* const pool = new PixelBufferPool;
    return *pool;
}

unsigned char* PixelBufferPool::take(std::size_t bytes) {
    if (bytes < kMinKeptBytes) return static_cast<unsigned char*>(std::malloc(bytes));
    std::lock_guard<std::mutex> lock(mutex_);
    // The smallest kept block that fits, as long as the picture uses at
    // least a quarter of it: a big block stays free for a big picture.
    std::size_t best = kept_.size();
    for (std::size_t i = 0; i < kept_.size(); ++i) {
        const Block& block = kept_[i];
        if (block.bytes < bytes || block.bytes / 4 > bytes) continue;
        if (best == kept_.size() || block.bytes < kept_[best].bytes) best = i;
    }
    Block block{nullptr, bytes};
    if (best != kept_.size()) {
        block = kept_[best];
        kept_.erase(kept_.begin() + static_cast<std::ptrdiff_t>(best));
        keptBytes_ -= block.bytes;
    } else {
        block.data = static_cast<unsigned char*>(std::malloc(bytes));
        if (!block.data) return nullptr;
    }
    try {
        lent_.emplace(block.data, block.bytes);
    } catch (const std::bad_alloc&) {
        // Untracked, it is simply freed when it comes back.
    }
    return block.data;
}

void PixelBufferPool::give(unsigned char* buffer) {
    if (!buffer) return;
    std::unique_lock<std::mutex> lock(mutex_);
    const auto lent = lent_.find(buffer);
    if (lent == lent_.end()) {
        lock.unlock();
        std::free(buffer);
        return;
    }
    const Block block{buffer, lent->second};
    lent_.erase(lent);
    if (block.bytes > kMaxKeptBytes) {
        lock.unlock();
        std::free(buffer);
        return;
    }
    // The oldest kept blocks make room: the newest is the likeliest size
    // of the next picture.
    std::array<unsigned char*, kMaxKeptBuffers> dropped{};
    std::size_t droppedCount = 0;
    while (!kept_.empty() &&
           (kept_.size() >= kMaxKeptBuffers || keptBytes_ + block.bytes > kMaxKeptBytes)) {
        dropped[droppedCount++] = kept_.front().data;
        keptBytes_ -= kept_.front().bytes;
        kept_.erase(kept_.begin());
    }
    kept_.push_back(block);
    keptBytes_ += block.bytes;
    lock.unlock();
    // Unmapping large blocks is slow; other threads need not wait for it.
    for (std::size_t i = 0; i < droppedCount; ++i) std::free(dropped[i]);
}

std::size_t PixelBufferPool::keptBytes() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return keptBytes_;
}

void PixelBufferPool::trim() {
    std::vector<Block> kept;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        kept.swap(kept_);
        keptBytes_ = 0;
    }
    for (const Block& block : kept) std::free(block.data);
}
