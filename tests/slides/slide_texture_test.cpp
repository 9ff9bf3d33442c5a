#include "slides/slide_texture.h"
#include "slides/texture_pool.h"

#include "gl_fixture.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <functional>
#include <string>

namespace {

using Texel = std::array<int, 4>;
constexpr unsigned char kUntouched = 0x7F;
constexpr Texel kUntouchedTexel = {kUntouched, kUntouched, kUntouched, kUntouched};
constexpr Texel kTransparent = {0, 0, 0, 0};

std::unique_ptr<RGBImage> picture(int w, int h,
                                  const std::function<std::array<int, 3>(int, int)>& colour) {
    auto image = makeRGBImage(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const auto c = colour(x, y);
            for (int k = 0; k < 3; ++k) image->row(y)[x * 3 + k] = static_cast<unsigned char>(c[k]);
        }
    return image;
}

std::unique_ptr<RGBImage> plain(int w, int h, std::array<int, 3> colour) {
    auto image = makeRGBImage(w, h);
    for (std::size_t i = 0; i < static_cast<std::size_t>(w) * h * 3; ++i)
        image->pixels[i] = static_cast<unsigned char>(colour[i % 3]);
    return image;
}

// One mipmap level of a texture as read back.
struct Level {
    int width = 0;
    int height = 0;
    std::vector<unsigned char> texels;

    Texel at(int x, int y) const {
        const unsigned char* t = &texels[(static_cast<std::size_t>(y) * width + x) * 4];
        return {t[0], t[1], t[2], t[3]};
    }
};

class SlideTextureTest : public GLTest<16, 16> {
protected:
    // A pool whose one free texture has every texel of every level set to
    // kUntouched, so that texels an upload leaves alone can be told apart.
    static std::unique_ptr<TexturePool> prefilledPool(int size) {
        auto pool = std::make_unique<TexturePool>(size, size);
        const GLuint name = pool->takeName();
        glBindTexture(GL_TEXTURE_2D, name);
        glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
        glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
        std::vector<unsigned char> fill(static_cast<std::size_t>(size) * size * 4, kUntouched);
        for (int level = 0; level < pool->levels(); ++level) {
            const int side = std::max(size >> level, 1);
            glTexSubImage2D(GL_TEXTURE_2D, level, 0, 0, side, side, GL_RGBA, GL_UNSIGNED_BYTE,
                            fill.data());
        }
        pool->giveBack(name);
        return pool;
    }

    static Level level(const SlideTexture& texture, int level) {
        glBindTexture(GL_TEXTURE_2D, texture.name());
        Level result;
        glGetTexLevelParameteriv(GL_TEXTURE_2D, level, GL_TEXTURE_WIDTH, &result.width);
        glGetTexLevelParameteriv(GL_TEXTURE_2D, level, GL_TEXTURE_HEIGHT, &result.height);
        result.texels = readLevel(level);
        return result;
    }

    // Checks a level that holds a plain picture of `colour`, `w` x `h`,
    // against the edge rule: colour and alpha scaled by d / 3 within three
    // texels of an edge, two transparent columns and rows beyond the
    // picture, and nothing written further out.
    static void expectPlainLevel(const Level& level, int w, int h, std::array<int, 3> colour,
                                 const std::string& what) {
        for (int y = 0; y < level.height; ++y)
            for (int x = 0; x < level.width; ++x) {
                Texel expected = kUntouchedTexel;
                if (x < w && y < h) {
                    const int d = std::min({x, y, w - x, h - y, 3});
                    expected = {colour[0] * d / 3, colour[1] * d / 3, colour[2] * d / 3,
                                255 * d / 3};
                } else if (x < w + 2 && y < h + 2) {
                    expected = kTransparent;
                }
                ASSERT_EQ(level.at(x, y), expected) << what << " texel " << x << "," << y;
            }
    }
};

}  // namespace

TEST_F(SlideTextureTest, EdgesRampUpWithPremultipliedColoursAndEndInATransparentMargin) {
    auto pool = prefilledPool(64);
    const GLuint prepared = pool->takeName();
    pool->giveBack(prepared);
    SlideTexture texture;
    // 32 x 16, already powers of two: level 0 is the picture itself. Red
    // runs with the column, green with the row, so that a misplaced pixel
    // shows.
    texture.upload(picture(32, 16, [](int x, int y) {
                       return std::array<int, 3>{x * 8, 255 - y * 4, 100};
                   }),
                   *pool);
    EXPECT_EQ(texture.name(), prepared);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));

    const Level base = level(texture, 0);
    // Across the left edge, in row 8: alpha 0, 85, 170, 255.
    EXPECT_EQ(base.at(0, 8), kTransparent);
    EXPECT_EQ(base.at(1, 8), (Texel{2, 74, 33, 85}));     // 8/3, 223/3, 100/3
    EXPECT_EQ(base.at(2, 8), (Texel{10, 148, 66, 170}));  // 16, 223, 100 times 2/3
    EXPECT_EQ(base.at(3, 8), (Texel{24, 223, 100, 255}));
    // Across the right edge: 255, 170, 85, then the margin.
    EXPECT_EQ(base.at(29, 8), (Texel{232, 223, 100, 255}));
    EXPECT_EQ(base.at(30, 8), (Texel{160, 148, 66, 170}));
    EXPECT_EQ(base.at(31, 8), (Texel{82, 74, 33, 85}));
    EXPECT_EQ(base.at(32, 8), kTransparent);
    EXPECT_EQ(base.at(33, 8), kTransparent);
    EXPECT_EQ(base.at(34, 8), kUntouchedTexel);
    // Bottom row first in memory is texture row 0; across the top edge.
    EXPECT_EQ(base.at(10, 0), kTransparent);
    EXPECT_EQ(base.at(10, 1), (Texel{26, 83, 33, 85}));  // 80/3, 251/3
    EXPECT_EQ(base.at(10, 13), (Texel{80, 203, 100, 255}));
    EXPECT_EQ(base.at(10, 14), (Texel{53, 132, 66, 170}));  // 80, 199 times 2/3
    EXPECT_EQ(base.at(10, 15), (Texel{26, 65, 33, 85}));    // 80, 195 over 3
    EXPECT_EQ(base.at(10, 16), kTransparent);
    EXPECT_EQ(base.at(10, 17), kTransparent);
    EXPECT_EQ(base.at(10, 18), kUntouchedTexel);
    // The nearer edge wins in a corner.
    EXPECT_EQ(base.at(2, 1)[3], 85);
    EXPECT_EQ(base.at(30, 14)[3], 170);
    EXPECT_EQ(base.at(33, 17), kTransparent);
}

TEST_F(SlideTextureTest, EveryLevelOfThePicturesChainIsWrittenAndTheRestKeptAsItWas) {
    auto pool = prefilledPool(64);  // levels 64 down to 1
    SlideTexture texture;
    const std::array<int, 3> colour = {255, 120, 7};
    texture.upload(plain(16, 8, colour), *pool);
    EXPECT_FLOAT_EQ(texture.sMax(), 0.25f);
    EXPECT_FLOAT_EQ(texture.tMax(), 0.125f);
    EXPECT_FLOAT_EQ(texture.aspect(), 2.0f);

    // The picture's own chain: 16x8, 8x4, 4x2, 2x1, 1x1.
    for (int l = 0; l <= 4; ++l)
        expectPlainLevel(level(texture, l), std::max(16 >> l, 1), std::max(8 >> l, 1), colour,
                         "level " + std::to_string(l));
    // Texture levels 5 (2x2) and 6 (1x1) are below it.
    for (int l = 5; l <= 6; ++l) {
        const Level below = level(texture, l);
        for (int y = 0; y < below.height; ++y)
            for (int x = 0; x < below.width; ++x) EXPECT_EQ(below.at(x, y), kUntouchedTexel);
    }
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(SlideTextureTest, APictureThatFillsItsLevelGetsNoMargin) {
    auto pool = prefilledPool(64);
    SlideTexture texture;
    const std::array<int, 3> colour = {90, 180, 255};
    // 48 is nearer 64 than 32 (a tie goes up); 70 is nearer 64 than 128.
    texture.upload(plain(70, 48, colour), *pool);
    EXPECT_FLOAT_EQ(texture.sMax(), 1.0f);
    EXPECT_FLOAT_EQ(texture.tMax(), 1.0f);
    EXPECT_FLOAT_EQ(texture.aspect(), 70.0f / 48.0f);
    for (int l = 0; l < pool->levels(); ++l) {
        const int side = 64 >> l;
        expectPlainLevel(level(texture, l), side, side, colour, "level " + std::to_string(l));
    }
}

TEST_F(SlideTextureTest, PhotoSizedPictureUnderTheLimitFillsTheLowerLeftQuarter) {
    auto pool = prefilledPool(1024);
    SlideTexture texture;
    const std::array<int, 3> colour = {30, 60, 90};
    texture.upload(plain(640, 480, colour), *pool);
    EXPECT_EQ(texture.sMax(), 0.5f);
    EXPECT_EQ(texture.tMax(), 0.5f);
    EXPECT_EQ(texture.aspect(), 1.3333334f);

    // Level 0 is 512x512 with its margin: a 514x514 region across block
    // boundaries at 256 and 512.
    const Level base = level(texture, 0);
    for (int y : {0, 1, 2, 3, 255, 256, 257, 508, 509, 510, 511, 512, 513, 514, 1023})
        for (int x : {0, 1, 2, 3, 255, 256, 257, 508, 509, 510, 511, 512, 513, 514, 1023}) {
            Texel expected = kUntouchedTexel;
            if (x < 512 && y < 512) {
                const int d = std::min({x, y, 512 - x, 512 - y, 3});
                expected = {30 * d / 3, 60 * d / 3, 90 * d / 3, 255 * d / 3};
            } else if (x < 514 && y < 514) {
                expected = kTransparent;
            }
            ASSERT_EQ(base.at(x, y), expected) << "texel " << x << "," << y;
        }
    // Levels 1 to 9 hold 256 down to 1; level 10 of the 11 is not written.
    expectPlainLevel(level(texture, 8), 2, 2, colour, "level 8");
    expectPlainLevel(level(texture, 9), 1, 1, colour, "level 9");
    EXPECT_EQ(level(texture, 10).at(0, 0), kUntouchedTexel);
}

TEST_F(SlideTextureTest, PictureOverTheLimitClampsToTheWholeTexture) {
    auto pool = prefilledPool(1024);
    SlideTexture texture;
    texture.upload(plain(4000, 3000, {255, 255, 255}), *pool);
    EXPECT_EQ(texture.sMax(), 1.0f);
    EXPECT_EQ(texture.tMax(), 1.0f);
    EXPECT_EQ(texture.aspect(), 1.3333334f);

    // No margin at any level: the right and top edges end at alpha 85.
    const Level base = level(texture, 0);
    EXPECT_EQ(base.at(1021, 500), (Texel{255, 255, 255, 255}));
    EXPECT_EQ(base.at(1022, 500), (Texel{170, 170, 170, 170}));
    EXPECT_EQ(base.at(1023, 500), (Texel{85, 85, 85, 85}));
    EXPECT_EQ(base.at(500, 1023), (Texel{85, 85, 85, 85}));
    EXPECT_EQ(base.at(1023, 1023), (Texel{85, 85, 85, 85}));
    expectPlainLevel(level(texture, 7), 8, 8, {255, 255, 255}, "level 7");
    // The last level is the single pixel, with d = 0.
    EXPECT_EQ(level(texture, 10).at(0, 0), kTransparent);
}

TEST_F(SlideTextureTest, SinglePixelBecomesATransparentThreeByThreeRegion) {
    auto pool = prefilledPool(256);
    SlideTexture texture;
    texture.upload(plain(1, 1, {200, 200, 200}), *pool);
    EXPECT_EQ(texture.sMax(), 1.0f / 256);
    EXPECT_EQ(texture.tMax(), 1.0f / 256);
    EXPECT_EQ(texture.aspect(), 1.0f);
    expectPlainLevel(level(texture, 0), 1, 1, {200, 200, 200}, "level 0");
    EXPECT_EQ(level(texture, 1).at(0, 0), kUntouchedTexel);
}

TEST_F(SlideTextureTest, DestroyingTheTextureGivesItsNameBack) {
    TexturePool pool(64, 64);
    GLuint name = 0;
    {
        SlideTexture texture;
        EXPECT_EQ(texture.name(), 0u);
        texture.upload(plain(8, 8, {1, 2, 3}), pool);
        name = texture.name();
        ASSERT_NE(name, 0u);
    }
    EXPECT_EQ(glIsTexture(name), GL_TRUE);
    EXPECT_EQ(pool.takeName(), name);
    pool.giveBack(name);
}

TEST_F(SlideTextureTest, EachMipLevelIsTheExactAverageOfTheLevelAbove) {
    // Noise-like detail, so that halving step by step (each 2x2 average
    // rounded half up) and averaging level 0 at once give different texels.
    auto pool = prefilledPool(64);
    const auto detail = [](int x, int y) {
        const unsigned v = static_cast<unsigned>(x * 7919 + y * 104729) * 2654435761u;
        return std::array<int, 3>{static_cast<int>(v >> 24), static_cast<int>((v >> 16) & 255),
                                  static_cast<int>((v >> 8) & 255)};
    };
    SlideTexture texture;
    texture.upload(picture(64, 64, detail), *pool);
    ASSERT_TRUE(texture.valid());

    std::vector<std::array<int, 3>> above(64 * 64);
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x) above[y * 64 + x] = detail(x, y);
    for (int l = 1, side = 32; side >= 1; ++l, side /= 2) {
        std::vector<std::array<int, 3>> expected(static_cast<std::size_t>(side) * side);
        for (int y = 0; y < side; ++y)
            for (int x = 0; x < side; ++x)
                for (int k = 0; k < 3; ++k) {
                    const auto at = [&](int dx, int dy) {
                        return above[(2 * y + dy) * (2 * side) + 2 * x + dx][k];
                    };
                    expected[y * side + x][k] = (at(0, 0) + at(1, 0) + at(0, 1) + at(1, 1) + 2) >> 2;
                }
        const Level got = level(texture, l);
        for (int y = 0; y < side; ++y)
            for (int x = 0; x < side; ++x) {
                const int d = std::min({x, y, side - x, side - y, 3});
                const auto& c = expected[y * side + x];
                ASSERT_EQ(got.at(x, y), (Texel{c[0] * d / 3, c[1] * d / 3, c[2] * d / 3, 255 * d / 3}))
                    << "level " << l << " texel " << x << "," << y;
            }
        above = std::move(expected);
    }
}

namespace {

struct NeedCase {
    int width, height;
    PictureNeed need;
    float sMax, tMax;
};

// Pool of 1024: the texture covers what the picture shows, never more than
// the power of two nearest its own side.
TEST_F(SlideTextureTest, APictureIsTexturedNoLargerThanItsNeedShowsIt) {
    const NeedCase cases[] = {
        {4000, 3000, {300, 300}, 0.25f, 0.25f},  // shown 300x225: 256x256
        {4000, 3000, {}, 1.0f, 1.0f},            // no bound: clamped to the pool
        {640, 480, {1000, 1000}, 0.5f, 0.5f},    // shown whole: 512x512 as before
        {3000, 4000, {2000, 500}, 0.25f, 0.5f},  // upright, its height limits: 375x500
    };
    auto pool = prefilledPool(1024);
    for (const NeedCase& c : cases) {
        SlideTexture texture;
        ASSERT_TRUE(texture.prepare(plain(c.width, c.height, {9, 9, 9}), *pool, c.need));
        EXPECT_EQ(texture.sMax(), c.sMax) << c.width << "x" << c.height;
        EXPECT_EQ(texture.tMax(), c.tMax) << c.width << "x" << c.height;
        EXPECT_FLOAT_EQ(texture.aspect(), static_cast<float>(c.width) / static_cast<float>(c.height));
    }
}

}  // namespace
