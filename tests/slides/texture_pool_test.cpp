#include "slides/nearest_power_of_two.h"
#include "slides/texture_pool.h"

#include "gl_fixture.h"

#include <algorithm>
#include <thread>
#include <vector>

namespace {

using TexturePoolTest = GLTest<16, 16>;

}  // namespace

TEST(NearestPowerOfTwo, TiesGoToTheLargerPower) {
    const std::pair<int, int> cases[] = {{1, 1},   {2, 2},     {3, 4},     {5, 4},
                                         {6, 8},   {700, 512}, {767, 512}, {768, 1024},
                                         {800, 1024}, {4000, 4096}, {6000, 4096}};
    for (auto [n, expected] : cases) EXPECT_EQ(nearestPowerOfTwo(n), expected) << n;
}

TEST(TexturePoolLevels, FullChainDownToOneTexel) {
    EXPECT_EQ(TexturePool(256, 256).levels(), 9);
    EXPECT_EQ(TexturePool(1024, 1024).levels(), 11);
    EXPECT_EQ(TexturePool(2048, 2048).levels(), 12);
    EXPECT_EQ(TexturePool(4096, 4096).levels(), 13);
    EXPECT_EQ(TexturePool(256, 64).levels(), 9);
    EXPECT_EQ(TexturePool(2047, 2047).levels(), 11);
    EXPECT_EQ(TexturePool(1, 1).levels(), 1);
}

TEST_F(TexturePoolTest, NewTextureHasEveryLevelAndClampedMipmapFiltering) {
    TexturePool pool(256, 64);
    const GLuint name = pool.takeName();
    ASSERT_NE(name, 0u);
    ASSERT_EQ(glIsTexture(name), GL_TRUE);
    glBindTexture(GL_TEXTURE_2D, name);
    for (int level = 0; level < pool.levels(); ++level) {
        GLint w = 0, h = 0;
        glGetTexLevelParameteriv(GL_TEXTURE_2D, level, GL_TEXTURE_WIDTH, &w);
        glGetTexLevelParameteriv(GL_TEXTURE_2D, level, GL_TEXTURE_HEIGHT, &h);
        EXPECT_EQ(w, std::max(256 >> level, 1)) << "level " << level;
        EXPECT_EQ(h, std::max(64 >> level, 1)) << "level " << level;
    }
    GLint value = 0;
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, &value);
    EXPECT_EQ(value, GL_CLAMP);
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, &value);
    EXPECT_EQ(value, GL_CLAMP);
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, &value);
    EXPECT_EQ(value, GL_LINEAR);
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &value);
    EXPECT_EQ(value, GL_LINEAR_MIPMAP_LINEAR);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    pool.giveBack(name);
}

TEST_F(TexturePoolTest, NamesComeBackFirstInFirstOutBeforeAnyNewTexture) {
    GLuint first = 0, second = 0, third = 0, fresh = 0;
    {
        TexturePool pool(64, 64);
        first = pool.takeName();
        second = pool.takeName();
        third = pool.takeName();
        EXPECT_NE(first, second);
        EXPECT_NE(second, third);

        pool.giveBack(second);
        pool.giveBack(first);
        pool.giveBack(third);
        EXPECT_EQ(pool.takeName(), second);
        EXPECT_EQ(pool.takeName(), first);
        pool.giveBack(second);
        EXPECT_EQ(pool.takeName(), third);
        EXPECT_EQ(pool.takeName(), second);
        // Nothing free any more: a texture of its own.
        fresh = pool.takeName();
        EXPECT_NE(fresh, first);
        EXPECT_NE(fresh, second);
        EXPECT_NE(fresh, third);
        for (GLuint name : {first, second, third, fresh}) pool.giveBack(name);
    }
    // The pool deletes what it holds when it goes.
    for (GLuint name : {first, second, third, fresh}) EXPECT_EQ(glIsTexture(name), GL_FALSE);
}

TEST_F(TexturePoolTest, TakesAndGiveBacksFromTwoThreadsLoseNoName) {
    // Names that are never textures: as long as some are free the pool makes
    // no OpenGL call, so the threads need no context.
    constexpr unsigned kStart = 1000000, kInitial = 2000, kMoves = 1000;
    TexturePool pool(16, 16);
    for (unsigned n = 0; n < kInitial; ++n) pool.giveBack(kStart + n);

    std::vector<unsigned> taken;
    std::thread taker([&] {
        for (unsigned n = 0; n < kMoves; ++n) taken.push_back(pool.takeName());
    });
    std::thread giver([&] {
        for (unsigned n = 0; n < kMoves; ++n) pool.giveBack(kStart + kInitial + n);
    });
    taker.join();
    giver.join();
    // The taker drew the oldest names, in the order they came in.
    for (unsigned n = 0; n < kMoves; ++n) ASSERT_EQ(taken[n], kStart + n);

    for (unsigned n = 0; n < kInitial; ++n) taken.push_back(pool.takeName());
    std::sort(taken.begin(), taken.end());
    ASSERT_EQ(taken.size(), kInitial + kMoves);
    for (unsigned n = 0; n < taken.size(); ++n) ASSERT_EQ(taken[n], kStart + n);
}
