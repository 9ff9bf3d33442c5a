#include "slides/slide.h"

#include "display/random.h"
#include "display/single_precision.h"
#include "settings/settings.h"
#include "slides/texture_pool.h"

#include "gl_fixture.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>

namespace {

constexpr int kViewWidth = 256;  // a 4:3 window
constexpr int kViewHeight = 192;

// Same sequence every time it is made; stands in for the generator.
std::function<int()> fixedSource(std::uint32_t seed) {
    return [state = seed]() mutable {
        state = state * 1103515245u + 12345u;
        return static_cast<int>((state >> 16) & 0x7FFF);
    };
}

class SlideTest : public GLTest<kViewWidth, kViewHeight> {
protected:
    void TearDown() override {
        setRandomSource({});
        Settings& s = theSettings;
        s.x0Mean = saved_[0], s.y0Mean = saved_[1], s.z0Mean = saved_[2];
        s.x0Sigma = saved_[3], s.y0Sigma = saved_[4], s.z0Sigma = saved_[5];
        s.x1Mean = saved_[6], s.y1Mean = saved_[7], s.z1Mean = saved_[8];
        s.x1Sigma = saved_[9], s.y1Sigma = saved_[10], s.z1Sigma = saved_[11];
        s.secondsPerImage.store(saved_[12]);
        s.secondsPerImageSigma = saved_[13];
    }

    // Every draw lands on its mean.
    static void fixPath(float x0, float y0, float z0, float x1, float y1, float z1, float seconds) {
        Settings& s = theSettings;
        s.x0Mean = x0, s.y0Mean = y0, s.z0Mean = z0;
        s.x1Mean = x1, s.y1Mean = y1, s.z1Mean = z1;
        s.x0Sigma = s.y0Sigma = s.z0Sigma = s.x1Sigma = s.y1Sigma = s.z1Sigma = 0.0f;
        s.secondsPerImage.store(seconds);
        s.secondsPerImageSigma = 0.0f;
    }

    const float saved_[14] = {
        theSettings.x0Mean,  theSettings.y0Mean,  theSettings.z0Mean, theSettings.x0Sigma,
        theSettings.y0Sigma, theSettings.z0Sigma, theSettings.x1Mean, theSettings.y1Mean,
        theSettings.z1Mean,  theSettings.x1Sigma, theSettings.y1Sigma, theSettings.z1Sigma,
        theSettings.secondsPerImage.load(), theSettings.secondsPerImageSigma};
};

using Vec = std::array<double, 3>;

// The display's view: a square 90-degree frustum from 0.25 to 2 on a 4:3
// viewport, cleared to black.
void beginFrame() {
    glViewport(0, 0, kViewWidth, kViewHeight);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glFrustum(-0.25, 0.25, -0.25, 0.25, 0.25, 2.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glClearColor(0, 0, 0, 0);
    glClear(GL_COLOR_BUFFER_BIT);
}

// Bounding box of the pixels that show anything, and the centre pixel.
struct Coverage {
    int left = kViewWidth, right = -1, bottom = kViewHeight, top = -1;
    int centreRed = 0;
};

Coverage readCoverage() {
    glFinish();
    std::vector<unsigned char> pixels(kViewWidth * kViewHeight * 4);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadBuffer(GL_BACK);
    glReadPixels(0, 0, kViewWidth, kViewHeight, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
    Coverage c;
    for (int y = 0; y < kViewHeight; ++y)
        for (int x = 0; x < kViewWidth; ++x)
            if (pixels[(y * kViewWidth + x) * 4] != 0) {
                c.left = std::min(c.left, x);
                c.right = std::max(c.right, x);
                c.bottom = std::min(c.bottom, y);
                c.top = std::max(c.top, y);
            }
    c.centreRed = pixels[(kViewHeight / 2 * kViewWidth + kViewWidth / 2) * 4];
    return c;
}

// The lit area fills the rectangle [x0, x1) x [y0, y1) of pixels, up to the
// few texels of soft edge that may stay black.
void expectCovers(const Coverage& c, int x0, int x1, int y0, int y1) {
    constexpr int kSoftEdge = 4;
    EXPECT_GE(c.left, x0);
    EXPECT_LE(c.left, x0 + kSoftEdge);
    EXPECT_LE(c.right, x1 - 1);
    EXPECT_GE(c.right, x1 - 1 - kSoftEdge);
    EXPECT_GE(c.bottom, y0);
    EXPECT_LE(c.bottom, y0 + kSoftEdge);
    EXPECT_LE(c.top, y1 - 1);
    EXPECT_GE(c.top, y1 - 1 - kSoftEdge);
    EXPECT_EQ(c.centreRed, 255);
}

std::unique_ptr<SlideTexture> whitePicture(int w, int h, TexturePool& pool) {
    auto image = makeRGBImage(w, h);
    std::fill_n(image->pixels, static_cast<std::size_t>(w) * h * 3, 255);
    auto texture = std::make_unique<SlideTexture>();
    texture->upload(std::move(image), pool);
    return texture;
}

}  // namespace

TEST_F(SlideTest, ForwardSlideStartsAtP0AndCoversThePathInT) {
    fixPath(0.0f, 0.5f, -0.8f, 1.0f, 0.25f, -1.0f, 2.0f);
    Slide slide;
    slide.randomize(false);
    EXPECT_EQ(slide.remaining, 2.0);
    EXPECT_EQ(slide.position, (Vec{0.0, 0.5, -0.8f}));
    EXPECT_EQ(slide.velocity[0], 0.5);
    EXPECT_EQ(slide.velocity[1], -0.125);
    EXPECT_DOUBLE_EQ(slide.velocity[2], (-1.0f - -0.8f) / 2.0);

    slide.draw(0.0, true);
    EXPECT_EQ(slide.position, (Vec{0.0, 0.5, -0.8f}));
    for (int frame = 0; frame < 4; ++frame) slide.draw(0.5, true);
    EXPECT_NEAR(slide.position[0], 1.0, 1e-12);
    EXPECT_NEAR(slide.position[1], 0.25, 1e-12);
    EXPECT_NEAR(slide.position[2], -1.0, 1e-7);
    EXPECT_NEAR(slide.remaining, 0.0, 1e-12);
}

TEST_F(SlideTest, ReverseSlideStartsAtP1AndReachesP0) {
    fixPath(0.0f, 0.5f, -0.8f, 1.0f, 0.25f, -1.0f, 2.0f);
    Slide slide;
    slide.randomize(true);
    EXPECT_EQ(slide.position, (Vec{1.0, 0.25, -1.0}));
    EXPECT_EQ(slide.velocity[0], -0.5);
    EXPECT_EQ(slide.velocity[1], 0.125);
    for (int frame = 0; frame < 8; ++frame) slide.draw(0.25, true);
    EXPECT_NEAR(slide.position[0], 0.0, 1e-12);
    EXPECT_NEAR(slide.position[1], 0.5, 1e-12);
    EXPECT_NEAR(slide.position[2], -0.8, 1e-7);
}

TEST_F(SlideTest, SevenDrawsInOrderAtTheirPrecisions) {
    Settings& s = theSettings;
    s.x0Mean = 0.1f, s.y0Mean = 0.2f, s.z0Mean = -0.8f;
    s.x1Mean = -0.1f, s.y1Mean = -0.2f, s.z1Mean = -1.0f;
    s.x0Sigma = 0.3f, s.y0Sigma = 0.4f, s.z0Sigma = 0.05f;
    s.x1Sigma = 0.6f, s.y1Sigma = 0.7f, s.z1Sigma = 0.02f;
    s.secondsPerImage.store(17.0f);
    s.secondsPerImageSigma = 2.0f;

    setRandomSource(fixedSource(42));
    const double x0 = singlePrecision(gaussian(0.1f, 0.3f));
    const double y0 = singlePrecision(gaussian(0.2f, 0.4f));
    const double z0 = singlePrecision(gaussian(-0.8f, 0.05f));
    const double x1 = singlePrecision(gaussian(-0.1f, 0.6f));
    const double y1 = singlePrecision(gaussian(-0.2f, 0.7f));
    const double z1 = singlePrecision(gaussian(-1.0f, 0.02f));
    const double seconds = gaussian(17.0f, 2.0f);

    setRandomSource(fixedSource(42));
    Slide forward;
    forward.randomize(false);
    EXPECT_EQ(forward.position, (Vec{x0, y0, z0}));
    EXPECT_EQ(forward.remaining, seconds);
    // The difference of two single-precision points is single precision too.
    EXPECT_NEAR(forward.velocity[0] * seconds, singlePrecision(x1 - x0), 1e-12);
    EXPECT_NEAR(forward.velocity[1] * seconds, singlePrecision(y1 - y0), 1e-12);
    EXPECT_NEAR(forward.velocity[2] * seconds, singlePrecision(z1 - z0), 1e-12);

    setRandomSource(fixedSource(42));
    Slide backward;
    backward.randomize(true);
    EXPECT_EQ(backward.position, (Vec{x1, y1, z1}));
    EXPECT_EQ(backward.velocity, (Vec{-forward.velocity[0], -forward.velocity[1],
                                      -forward.velocity[2]}));
}

TEST_F(SlideTest, ConsecutiveSlidesWithAlternatingFlagsTravelOppositeWays) {
    // The default settings: P0 nearer than P1, so forward recedes.
    seedRandom(7);
    bool reverse = true;
    Slide first, second;
    first.randomize(reverse);
    reverse = !reverse;
    second.randomize(reverse);
    EXPECT_GT(first.velocity[2], 0.0);
    EXPECT_LT(second.velocity[2], 0.0);
    EXPECT_GT(first.position[2], -1.1);
    EXPECT_LT(first.position[2], -0.9);
    EXPECT_GT(second.position[2], -0.9);
    EXPECT_GT(first.remaining, 10.0);
}

TEST_F(SlideTest, DurationWithoutAPositiveValueLeavesTheSlideAtItsStartAndDue) {
    const struct {
        float seconds;
        double remaining;
    } cases[] = {{0.0f, 0.0},
                 {-0.0f, 0.0},
                 {-3.0f, -3.0},
                 {std::numeric_limits<float>::quiet_NaN(), 0.0},
                 {-std::numeric_limits<float>::infinity(), -std::numeric_limits<double>::infinity()}};
    for (const auto& c : cases)
        for (bool reverse : {false, true}) {
            SCOPED_TRACE(testing::Message() << "T " << c.seconds << " reverse " << reverse);
            fixPath(0.0f, 0.0f, -0.8f, 1.0f, 0.0f, -1.0f, c.seconds);
            Slide slide;
            slide.randomize(reverse);
            EXPECT_EQ(slide.velocity, (Vec{0.0, 0.0, 0.0}));
            EXPECT_EQ(slide.remaining, c.remaining);
            const Vec start = reverse ? Vec{1.0, 0.0, -1.0} : Vec{0.0, 0.0, -0.8f};
            slide.draw(0.5, true);
            EXPECT_EQ(slide.position, start);
            EXPECT_LT(slide.remaining, 0.0);
        }
}

TEST_F(SlideTest, DrawMovesEvenWhenNotCountingDownAndRestoresTheMatrix) {
    TexturePool pool(256, 256);
    Slide slide(whitePicture(256, 256, pool));
    slide.position = {0.0, 0.0, -0.5};
    slide.velocity = {0.0, 0.0, -0.25};
    slide.remaining = 5.0;

    beginFrame();
    GLfloat before[16], after[16];
    glGetFloatv(GL_MODELVIEW_MATRIX, before);
    // Moved to z = -1 first, so drawn exactly where a slide at -1 shows.
    slide.draw(2.0, false);
    glGetFloatv(GL_MODELVIEW_MATRIX, after);
    EXPECT_EQ(slide.position, (Vec{0.0, 0.0, -1.0}));
    EXPECT_EQ(slide.remaining, 5.0);
    EXPECT_EQ(std::memcmp(before, after, sizeof before), 0);
    EXPECT_EQ(glIsEnabled(GL_TEXTURE_2D), GL_TRUE);
    expectCovers(readCoverage(), 32, 224, 0, kViewHeight);

    slide.draw(0.5, true);
    EXPECT_EQ(slide.remaining, 4.5);
    EXPECT_EQ(slide.position, (Vec{0.0, 0.0, -1.125}));

    // Without a picture it still moves and counts.
    Slide empty;
    empty.velocity = {1.0, 0.0, 0.0};
    empty.remaining = 1.0;
    empty.draw(0.5, true);
    EXPECT_EQ(empty.position[0], 0.5);
    EXPECT_EQ(empty.remaining, 0.5);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(SlideTest, PictureAtUnitDistanceFitsTheWindowInItsOwnProportions) {
    TexturePool pool(256, 256);
    const struct {
        int w, h;
        int x0, x1, y0, y1;
    } cases[] = {
        {256, 192, 0, 256, 0, 192},    // same as the window: fills it
        {256, 256, 32, 224, 0, 192},   // square: x from -0.75 to 0.75
        {256, 128, 0, 256, 32, 160},   // 2:1: y from -2/3 to 2/3
        {64, 256, 104, 152, 0, 192},   // 1:4: x from -3/16 to 3/16
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.w << "x" << c.h);
        Slide slide(whitePicture(c.w, c.h, pool));
        slide.position = {0.0, 0.0, -1.0};
        beginFrame();
        slide.draw(0.0, false);
        expectCovers(readCoverage(), c.x0, c.x1, c.y0, c.y1);
    }
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(SlideTest, ASlideWhoseUploadFailedIsNeverDrawn) {
    // A pool wider than the driver allows cannot allocate its textures, so
    // every upload into it raises an OpenGL error.
    GLint largest = 0;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &largest);
    TexturePool refused(2 * largest, 256);
    TexturePool fine(256, 256);
    const struct {
        const char* what;
        TexturePool* pool;
        int w, h;  // 0: no picture at all
        bool valid;
    } cases[] = {
        {"uploaded", &fine, 256, 256, true},
        {"no picture", &fine, 0, 0, false},
        {"driver refused the texture", &refused, 64, 64, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        auto texture = c.w > 0 ? whitePicture(c.w, c.h, *c.pool) : [&] {
            auto empty = std::make_unique<SlideTexture>();
            empty->upload(nullptr, *c.pool);
            return empty;
        }();
        EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR)) << "errors stay with the upload";
        Slide slide(std::move(texture));
        EXPECT_EQ(slide.valid(), c.valid);
        slide.position = {0.0, 0.0, -1.0};
        slide.remaining = 1.0;
        beginFrame();
        glColor4f(1, 1, 1, 1);
        slide.draw(0.25, true);
        const Coverage lit = readCoverage();
        EXPECT_EQ(lit.centreRed, c.valid ? 255 : 0);
        if (!c.valid) {
            EXPECT_EQ(lit.right, -1) << "nothing at all is drawn";
        }
        EXPECT_EQ(slide.remaining, 0.75);
    }
    EXPECT_FALSE(Slide().valid());
}

TEST_F(SlideTest, PictureIsShownUprightAndTheRightWayRound) {
    // Each quarter of the picture its own colour; the first buffer row is
    // the bottom of the picture. Same proportions as the window, at unit
    // distance: the picture fills the window exactly.
    TexturePool pool(256, 256);
    auto image = makeRGBImage(kViewWidth, kViewHeight);
    for (int y = 0; y < kViewHeight; ++y)
        for (int x = 0; x < kViewWidth; ++x) {
            const bool right = x >= kViewWidth / 2, top = y >= kViewHeight / 2;
            unsigned char* p = image->row(y) + x * 3;
            p[0] = right ? 0 : 255;  // red on the left
            p[1] = top ? 255 : 0;    // green at the top
            p[2] = right ? 255 : 0;  // blue on the right
        }
    auto texture = std::make_unique<SlideTexture>();
    texture->upload(std::move(image), pool);
    Slide slide(std::move(texture));
    slide.position = {0.0, 0.0, -1.0};
    beginFrame();
    slide.draw(0.0, false);
    glFinish();

    const struct {
        int x, y;  // window pixel, bottom-up
        int r, g, b;
    } quarters[] = {
        {kViewWidth / 4, kViewHeight / 4, 255, 0, 0},
        {3 * kViewWidth / 4, kViewHeight / 4, 0, 0, 255},
        {kViewWidth / 4, 3 * kViewHeight / 4, 255, 255, 0},
        {3 * kViewWidth / 4, 3 * kViewHeight / 4, 0, 255, 255},
    };
    for (const auto& q : quarters) {
        unsigned char p[4] = {};
        glReadPixels(q.x, q.y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, p);
        EXPECT_EQ((std::array<int, 3>{p[0], p[1], p[2]}), (std::array<int, 3>{q.r, q.g, q.b}))
            << "window pixel " << q.x << "," << q.y;
    }
}
