#include "images/pixel_buffer_pool.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <thread>
#include <vector>

#include "images/rgb_image.h"

namespace {

constexpr std::size_t kMiB = std::size_t{1} << 20;

TEST(PixelBufferPool, ABufferGivenBackServesTheNextPictureOfItsSizeOrSomewhatSmaller) {
    struct Case {
        std::size_t given, asked;
        bool reused;
    };
    const Case cases[] = {
        {8 * kMiB, 8 * kMiB, true},
        {8 * kMiB, 3 * kMiB, true},
        {8 * kMiB, 2 * kMiB, true},
        {8 * kMiB, 2 * kMiB - 1, false},  // a quarter at least
        {8 * kMiB, 8 * kMiB + 1, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.given << " given, " << c.asked << " asked");
        PixelBufferPool pool;
        unsigned char* first = pool.take(c.given);
        ASSERT_NE(first, nullptr);
        std::memset(first, 1, c.given);
        pool.give(first);
        unsigned char* second = pool.take(c.asked);
        ASSERT_NE(second, nullptr);
        std::memset(second, 2, c.asked);  // the sanitizer checks the size
        EXPECT_EQ(second == first, c.reused);
        pool.give(second);
    }
    // Small blocks are the C heap's own business.
    PixelBufferPool pool;
    pool.give(pool.take(kMiB / 2));
    EXPECT_EQ(pool.keptBytes(), 0u);
}

TEST(PixelBufferPool, KeepsAFewBuffersWithinItsBoundAndFreesTheRest) {
    PixelBufferPool pool;
    std::vector<unsigned char*> lent;
    for (int i = 0; i < 6; ++i) lent.push_back(pool.take(std::size_t(10 + i) * kMiB));
    for (unsigned char* buffer : lent) pool.give(buffer);
    // The four newest: 12 + 13 + 14 + 15 MiB.
    EXPECT_EQ(pool.keptBytes(), 54 * kMiB);

    // Too large to keep at all, and blocks it never lent, are freed.
    pool.give(pool.take(PixelBufferPool::kMaxKeptBytes + 1));
    pool.give(static_cast<unsigned char*>(std::malloc(4 * kMiB)));
    pool.give(nullptr);
    EXPECT_EQ(pool.keptBytes(), 54 * kMiB);
    pool.trim();
    EXPECT_EQ(pool.keptBytes(), 0u);
}

TEST(PixelBufferPool, PicturesPassTheirBuffersOnWhenDestroyed) {
    unsigned char* first = nullptr;
    {
        auto picture = makeRGBImage(1000, 1000);
        ASSERT_NE(picture, nullptr);
        first = picture->pixels;
    }
    auto next = makeRGBImage(1000, 1000);
    ASSERT_NE(next, nullptr);
    EXPECT_EQ(next->pixels, first);
}

TEST(PixelBufferPool, LoaderThreadsShareIt) {
    PixelBufferPool pool;
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&pool, t] {
            for (int i = 0; i < 50; ++i) {
                const std::size_t bytes = std::size_t(1 + (t + i) % 3) * kMiB;
                unsigned char* buffer = pool.take(bytes);
                ASSERT_NE(buffer, nullptr);
                buffer[0] = buffer[bytes - 1] = static_cast<unsigned char>(t);
                pool.give(buffer);
            }
        });
    for (std::thread& thread : threads) thread.join();
    EXPECT_LE(pool.keptBytes(), PixelBufferPool::kMaxKeptBytes);
}

}  // namespace
