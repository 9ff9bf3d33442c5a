#pragma once
#include <cstddef>
#include <mutex>
#include <unordered_map>
#include <vector>

// Keeps a few large pixel buffers of pictures that are gone for the next
// pictures. A slideshow decodes one camera-sized picture after another; a
// fresh multi-megabyte block comes from the system untouched, and touching
// it costs more than decoding into it, so the block of the last picture is
// handed to the next one instead.
//
// Buffers come from malloc. Small ones are not tracked at all: the C heap
// recycles those well. Every call may come from any thread.
class PixelBufferPool {
public:
    // Blocks below this go straight to malloc and free.
    static constexpr std::size_t kMinKeptBytes = std::size_t{1} << 20;
    // What the pool may keep between pictures: a few camera-sized pictures
    // with their scaled copies, never more.
    static constexpr std::size_t kMaxKeptBuffers = 4;
    static constexpr std::size_t kMaxKeptBytes = std::size_t{256} << 20;

    PixelBufferPool();
    ~PixelBufferPool();
    PixelBufferPool(const PixelBufferPool&) = delete;
    PixelBufferPool& operator=(const PixelBufferPool&) = delete;

    // The one pool every picture uses.
    static PixelBufferPool& instance();

    // A buffer of at least `bytes` bytes, of unspecified content: a kept
    // one if one is large enough and not more than four times too large,
    // else a new one. Null when memory is short.
    unsigned char* take(std::size_t bytes);

    // Gives back a buffer from take (or any malloc'd block, or null). Large
    // blocks from take are kept while there is room; everything else is
    // freed.
    void give(unsigned char* buffer);

    // Bytes held for later pictures right now.
    std::size_t keptBytes() const;
    // Frees every kept buffer.
    void trim();

private:
    struct Block {
        unsigned char* data;
        std::size_t bytes;
    };

    mutable std::mutex mutex_;
    // Large buffers handed out and not yet given back, with their sizes.
    std::unordered_map<unsigned char*, std::size_t> lent_;  // guarded by mutex_
    // Buffers waiting for a picture, oldest first.
    std::vector<Block> kept_;                               // guarded by mutex_
    std::size_t keptBytes_ = 0;                             // guarded by mutex_
};
