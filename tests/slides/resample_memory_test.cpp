// The resampler's working memory, counted by replacing the global operator
// new and delete of this test executable (every form but the aligned ones,
// which keep the runtime's own pair): each block carries its size in a
// header, and the bytes outstanding and their peak are counted per thread.
// Picture buffers come from malloc and are not counted. An executable of
// its own, so that no other library (OpenGL's, say) shares the counting
// allocator.
#include "slides/resample_image.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <new>
#include <vector>

namespace {

thread_local std::size_t outstanding = 0;
thread_local std::size_t peak = 0;
constexpr std::size_t kHeader = alignof(std::max_align_t);

void* allocate(std::size_t size) noexcept {
    auto* block = static_cast<unsigned char*>(std::malloc(size + kHeader));
    if (!block) return nullptr;
    *reinterpret_cast<std::size_t*>(block) = size;
    outstanding += size;
    peak = std::max(peak, outstanding);
    return block + kHeader;
}

void release(void* pointer) noexcept {
    if (!pointer) return;
    auto* block = static_cast<unsigned char*>(pointer) - kHeader;
    outstanding -= std::min(outstanding, *reinterpret_cast<std::size_t*>(block));
    std::free(block);
}

void* allocateOrThrow(std::size_t size) {
    if (void* pointer = allocate(size)) return pointer;
    throw std::bad_alloc();
}

}  // namespace

void* operator new(std::size_t size) { return allocateOrThrow(size); }
void* operator new[](std::size_t size) { return allocateOrThrow(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return allocate(size); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return allocate(size); }
void operator delete(void* pointer) noexcept { release(pointer); }
void operator delete[](void* pointer) noexcept { release(pointer); }
void operator delete(void* pointer, std::size_t) noexcept { release(pointer); }
void operator delete[](void* pointer, std::size_t) noexcept { release(pointer); }
void operator delete(void* pointer, const std::nothrow_t&) noexcept { release(pointer); }
void operator delete[](void* pointer, const std::nothrow_t&) noexcept { release(pointer); }

TEST(ResampleImage, WorkingMemoryIsBoundedByTheOutputNotTheSource) {
    // Extreme proportions well inside the pixel limit; the cached path
    // needed about 82 bytes per source column (1.4 GB for 2^24 x 1).
    const struct {
        int w, h, dw, dh;
    } cases[] = {{1 << 24, 1, 4096, 1}, {1, 1 << 23, 1, 4096}, {1 << 22, 4, 2048, 4}};
    for (const auto& c : cases) {
        const std::size_t pixels = static_cast<std::size_t>(c.w) * c.h;
        auto* src = static_cast<unsigned char*>(std::malloc(pixels * 3));
        auto* dst = static_cast<unsigned char*>(std::malloc(static_cast<std::size_t>(c.dw) * c.dh * 3));
        ASSERT_TRUE(src && dst);
        for (std::size_t i = 0; i < pixels * 3; ++i) src[i] = static_cast<unsigned char>(i % 251);
        const std::size_t before = outstanding;
        peak = outstanding;
        resampleImage(c.w, c.h, src, c.dw, c.dh, dst);
        EXPECT_LT(peak - before, std::size_t{1} << 20) << c.w << "x" << c.h;
        // Column i % 251 averaged over whole periods of 251: about 125.
        EXPECT_NEAR(dst[3 * (c.dw * c.dh / 2)], 125, 10) << c.w << "x" << c.h;
        std::free(src);
        std::free(dst);
    }
}
