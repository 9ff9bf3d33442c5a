#include "loader/slide_loader.h"

#include "images/random_image_provider.h"
#include "platform/cpu_time.h"
#include "platform/debug_output.h"
#include "platform/gl.h"
#include "platform/gl_context.h"
#include "slides/slide.h"
#include "slides/slide_texture.h"
#include "slides/texture_pool.h"
#include "support/scripted_provider.h"
#include "support/settings_guard.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <set>
#include <thread>

using namespace std::chrono_literals;

namespace {

// The display's side: a context current on the test thread and the pool it
// shares with the loader.
class SlideLoaderTest : public ::testing::Test {
protected:
    void SetUp() override {
        SettingsGuard::fixSlideshow(10.0f, 1.0f);
        ASSERT_TRUE(window_.valid());
        display_ = GLContext::create(window_.target());
        ASSERT_TRUE(display_ && display_->makeCurrent());
        pool_ = std::make_unique<TexturePool>(64, 64);
    }
    void TearDown() override {
        pool_.reset();
        GLContext::releaseCurrent();
    }

    std::unique_ptr<SlideLoader> started(int capacity = 2, bool reverse = true) {
        auto loader = std::make_unique<SlideLoader>(&provider_, capacity, pool_.get(),
                                                    window_.target(), *display_);
        EXPECT_TRUE(loader->hasContext());
        loader->reverseNext = reverse;
        loader->start();
        return loader;
    }

    // Names 1..64 that are textures in the sharing group.
    static std::set<GLuint> liveTextures() {
        std::set<GLuint> names;
        for (GLuint name = 1; name <= 64; ++name)
            if (glIsTexture(name)) names.insert(name);
        return names;
    }

    SettingsGuard settings_;
    GLOffscreenTarget window_{16, 16};
    std::unique_ptr<GLContext> display_;
    std::unique_ptr<TexturePool> pool_;
    ScriptedProvider provider_;
};

}  // namespace

TEST_F(SlideLoaderTest, PreparesExactlyCapacityAndOneMorePerTake) {
    auto loader = started(2);
    ASSERT_TRUE(provider_.waitForCalls(2));
    // Several stop polls later, still nothing beyond the two slots.
    std::this_thread::sleep_for(3 * SlideLoader::kStopPoll);
    EXPECT_EQ(provider_.calls(), 2);

    ASSERT_NE(loader->takeSlide(true), nullptr);
    ASSERT_TRUE(provider_.waitForCalls(3));
    std::this_thread::sleep_for(3 * SlideLoader::kStopPoll);
    EXPECT_EQ(provider_.calls(), 3);
}

TEST_F(SlideLoaderTest, SlidesComeInOrderWithAlternatingDirections) {
    auto loader = started(2, true);
    for (int n = 1; n <= 5; ++n) {
        auto slide = loader->takeSlide(true);
        ASSERT_NE(slide, nullptr);
        ASSERT_NE(slide->texture, nullptr);
        EXPECT_EQ(ScriptedProvider::pictureOf(slide->texture->aspect()), n);
        // Forward slides move towards +x; the first one runs backwards.
        const bool reverse = n % 2 == 1;
        EXPECT_EQ(slide->velocity[0] < 0.0, reverse) << "slide " << n;
        EXPECT_EQ(slide->remaining, 10.0);
    }
}

TEST_F(SlideLoaderTest, NonBlockingTakeOnAnEmptyQueueReturnsAtOnce) {
    provider_.holdFrom(1);
    auto loader = started();
    ASSERT_TRUE(provider_.waitForCalls(1));
    EXPECT_EQ(loader->takeSlide(false), nullptr);
    provider_.release();
    EXPECT_NE(loader->takeSlide(true), nullptr);
}

TEST_F(SlideLoaderTest, WaitForASlideEndsWhenOneIsReadyAndLeavesItToTheTake) {
    provider_.holdFrom(1);
    auto loader = started(1);
    ASSERT_TRUE(provider_.waitForCalls(1));
    // None comes while the decode is held: the wait runs out.
    EXPECT_FALSE(loader->waitForSlide(std::chrono::milliseconds(30)));
    provider_.release();
    // Long before the bound, and as often as asked: the slide stays queued.
    EXPECT_TRUE(loader->waitForSlide(20s));
    EXPECT_TRUE(loader->waitForSlide(std::chrono::milliseconds(0)));
    auto slide = loader->takeSlide(false);
    ASSERT_NE(slide, nullptr);
    EXPECT_EQ(ScriptedProvider::pictureOf(slide->texture->aspect()), 1);
}

TEST_F(SlideLoaderTest, WaitsCostNoProcessorTime) {
    // Processor time over two seconds of `wait`, against a twentieth of one
    // core.
    auto cheap = [](auto wait) {
        const auto cpuBefore = processCpuTime();
        const auto begin = std::chrono::steady_clock::now();
        while (std::chrono::steady_clock::now() - begin < 2s) wait();
        const auto cpu = processCpuTime() - cpuBefore;
        EXPECT_LT(cpu * 20, std::chrono::steady_clock::now() - begin)
            << std::chrono::duration_cast<std::chrono::milliseconds>(cpu).count() << " ms";
    };
    auto loader = started(1);
    ASSERT_TRUE(loader->waitForSlide(20s));
    // The queue is full: the loader waits for a slot that nobody frees.
    cheap([] { std::this_thread::sleep_for(std::chrono::milliseconds(50)); });
    // The decode of the next picture is held: the display waits for a
    // slide that is not coming.
    provider_.holdFrom(2);
    ASSERT_NE(loader->takeSlide(false), nullptr);
    ASSERT_TRUE(provider_.waitForCalls(2));
    cheap([&] { EXPECT_FALSE(loader->waitForSlide(std::chrono::milliseconds(16))); });
    provider_.release();
}

TEST_F(SlideLoaderTest, PictureWithoutUploadIsSkipped) {
    provider_.failCalls(1, 3);
    auto loader = started();
    auto slide = loader->takeSlide(true);
    ASSERT_NE(slide, nullptr);
    EXPECT_EQ(ScriptedProvider::pictureOf(slide->texture->aspect()), 3);
    EXPECT_TRUE(slide->valid());
}

TEST_F(SlideLoaderTest, IdleStopEndsAfterOnePoll) {
    auto loader = started();
    ASSERT_TRUE(provider_.waitForCalls(2));
    std::this_thread::sleep_for(SlideLoader::kStopPoll);
    const auto begin = std::chrono::steady_clock::now();
    EXPECT_TRUE(loader->stop(10s));
    // About one poll; far below the bound even on a loaded machine.
    EXPECT_LT(std::chrono::steady_clock::now() - begin, 3s);
}

TEST_F(SlideLoaderTest, StopDuringDecodeQueuesNothingMore) {
    provider_.holdFrom(2);
    auto loader = started();
    ASSERT_NE(loader->takeSlide(true), nullptr);
    ASSERT_TRUE(provider_.waitForCalls(2));
    loader->requestStop();
    provider_.release();
    EXPECT_TRUE(loader->stop(10s));
    // The held picture was dropped (the leak checker sees it freed).
    EXPECT_EQ(loader->takeSlide(false), nullptr);
    EXPECT_EQ(loader->takeSlide(true), nullptr);
    EXPECT_EQ(provider_.calls(), 2);
}

TEST_F(SlideLoaderTest, StopPastTheBoundWaitsBeforeFreeing) {
    provider_.holdFrom(1);
    auto loader = started();
    ASSERT_TRUE(provider_.waitForCalls(1));
    EXPECT_FALSE(loader->stop(20ms));
    std::thread late([&] {
        std::this_thread::sleep_for(200ms);
        provider_.release();
    });
    // Destruction waits for the thread still inside the provider; the
    // sanitizers see any use of what it freed.
    loader.reset();
    late.join();
    EXPECT_EQ(provider_.calls(), 1);
}

TEST_F(SlideLoaderTest, QueuedSlidesReturnTheirNamesBeforeThePoolGoes) {
    const std::set<GLuint> before = liveTextures();
    auto loader = started(2);
    // Both slides queued: their uploads are over, so the stop cuts none
    // short (an upload it cuts short deletes its name).
    const auto giveUp = std::chrono::steady_clock::now() + 20s;
    while (loader->queuedSlides() < 2 && std::chrono::steady_clock::now() < giveUp)
        std::this_thread::sleep_for(5ms);
    ASSERT_TRUE(loader->stop(10s));
    const std::set<GLuint> made = liveTextures();
    ASSERT_EQ(made.size(), before.size() + 2);
    loader.reset();
    // Both names are free again: the pool hands them out before a new one.
    std::set<GLuint> reused = {pool_->takeName(), pool_->takeName()};
    for (GLuint name : reused) EXPECT_TRUE(made.count(name) && !before.count(name));
    const GLuint fresh = pool_->takeName();
    EXPECT_FALSE(made.count(fresh));
    for (GLuint name : reused) pool_->giveBack(name);
    pool_->giveBack(fresh);
}

TEST_F(SlideLoaderTest, RealProviderFeedsTheLoader) {
    RandomImageProvider provider({});
    SlideLoader loader(&provider, 2, pool_.get(), window_.target(), *display_);
    loader.reverseNext = false;
    loader.start();
    for (int n = 0; n < 6; ++n) {
        auto slide = loader.takeSlide(true);
        ASSERT_NE(slide, nullptr);
        EXPECT_TRUE(slide->valid());
    }
    EXPECT_TRUE(loader.stop(10s));
}

TEST_F(SlideLoaderTest, BlockingTakesAcrossTheThreadsEndNeverReadAnEmptyQueue) {
    // A taker that keeps taking while the thread is stopped at ever later
    // moments: each take returns a whole slide or, once the thread has ended
    // and nothing is left, null. A take that read the end flag twice could
    // pop an empty queue (the sanitizers see it) or give a slot back twice.
    for (int round = 0; round < 12; ++round) {
        auto loader = started(round % 2 + 1);
        std::atomic<int> taken{0};
        std::thread taker([&] {
            while (auto slide = loader->takeSlide(true)) {
                EXPECT_TRUE(slide->valid());
                ++taken;
            }
        });
        std::this_thread::sleep_for(std::chrono::milliseconds(round * 7));
        loader->requestStop();
        taker.join();
        EXPECT_TRUE(loader->ended());
        EXPECT_EQ(loader->takeSlide(false), nullptr);
        EXPECT_LE(taken.load(), provider_.calls());
    }
}

TEST_F(SlideLoaderTest, SlidesQueuedBeforeTheEndAreStillTakenThenNone) {
    auto loader = started(2);
    ASSERT_TRUE(provider_.waitForCalls(2));
    const auto giveUp = std::chrono::steady_clock::now() + 20s;
    // Both slides are queued once the thread polls for a third slot.
    std::this_thread::sleep_for(3 * SlideLoader::kStopPoll);
    ASSERT_TRUE(loader->stop(10s));
    ASSERT_LT(std::chrono::steady_clock::now(), giveUp);
    EXPECT_NE(loader->takeSlide(true), nullptr);
    EXPECT_NE(loader->takeSlide(true), nullptr);
    EXPECT_EQ(loader->takeSlide(true), nullptr);
    EXPECT_EQ(loader->takeSlide(false), nullptr);
}

TEST_F(SlideLoaderTest, FailedUploadDeletesItsNameAndTheNextPicturesShow) {
    // A name without texture storage, as a driver's failed allocation would
    // leave it: the first upload into it fails.
    GLuint broken = 0;
    glGenTextures(1, &broken);
    pool_->giveBack(broken);
    auto loader = started(2);
    for (int n = 2; n <= 4; ++n) {
        auto slide = loader->takeSlide(true);
        ASSERT_NE(slide, nullptr);
        EXPECT_TRUE(slide->valid());
        EXPECT_EQ(ScriptedProvider::pictureOf(slide->texture->aspect()), n);
        EXPECT_NE(slide->texture->name(), broken);
    }
    ASSERT_TRUE(loader->stop(10s));
    // Deleted, never back in the pool.
    EXPECT_FALSE(glIsTexture(broken));
}

TEST_F(SlideLoaderTest, PausedLoaderAsksForNothingAndStopsAtOnce) {
    provider_.holdFrom(1);
    auto loader = started(2);
    ASSERT_TRUE(provider_.waitForCalls(1));
    loader->setPaused(true);
    provider_.release();
    std::this_thread::sleep_for(3 * SlideLoader::kStopPoll);
    // The picture under way when the pause came is finished; no other begins.
    EXPECT_EQ(provider_.calls(), 1);
    loader->setPaused(false);
    EXPECT_NE(loader->takeSlide(true), nullptr);
    EXPECT_NE(loader->takeSlide(true), nullptr);
    loader->setPaused(true);
    const auto begin = std::chrono::steady_clock::now();
    EXPECT_TRUE(loader->stop(10s));
    EXPECT_LT(std::chrono::steady_clock::now() - begin, 3s);
}

TEST_F(SlideLoaderTest, StopFindsAThreadInTheProviderLeavable) {
    provider_.holdFrom(2);
    auto loader = started(2);
    ASSERT_TRUE(provider_.waitForCalls(2));
    ASSERT_NE(loader->takeSlide(true), nullptr);
    loader->requestStop();
    // Inside the provider it touches neither the pool nor its context...
    EXPECT_TRUE(loader->waitUntilEndedOrLeavable(0ms));
    EXPECT_FALSE(loader->ended());
    // ...and after the call it ends without going on to them.
    provider_.release();
    EXPECT_TRUE(loader->stop(10s));
    EXPECT_EQ(loader->takeSlide(false), nullptr);
    EXPECT_EQ(provider_.calls(), 2);
}

TEST_F(SlideLoaderTest, CancelledUploadStaysInvalidAndDeletesItsName) {
    const struct {
        bool cancel;
        bool valid;
    } cases[] = {{false, true}, {true, false}};
    for (const auto& c : cases) {
        std::atomic<bool> cancel{c.cancel};
        SlideTexture texture;
        ASSERT_TRUE(texture.prepare(makeRGBImage(40, 30), *pool_));
        texture.uploadPrepared(&cancel);
        EXPECT_EQ(texture.valid(), c.valid);
        EXPECT_EQ(texture.name() != 0, c.valid);
    }
    // The cancelled upload took the name the first one gave back, and
    // deleted it instead of giving it back.
    EXPECT_TRUE(liveTextures().empty());
}

// The loader pairs what its screen's shape asks for: landscape pictures
// (the scripted ones) stack on a portrait screen, one slide of two.
TEST_F(SlideLoaderTest, APortraitScreenStacksTwoLandscapePicturesIntoOneSlide) {
    const bool savedPairs = theSettings.pairs;
    for (const bool pairs : {true, false}) {
        SCOPED_TRACE(pairs);
        theSettings.pairs = pairs;
        ScriptedProvider provider;
        SlideLoader loader(&provider, 1, pool_.get(), window_.target(), *display_);
        loader.setScreenSize(1080, 1920);
        loader.start();
        const auto slide = loader.takeSlide(true);
        ASSERT_NE(slide, nullptr);
        const float aspect = slide->texture->aspect();
        // 17 x 16 over 17 x 15 (18 x 16 scaled), a row of gap between.
        if (pairs) EXPECT_NEAR(aspect, 17.0f / 32.0f, 0.01f);
        else EXPECT_EQ(ScriptedProvider::pictureOf(aspect), 1);
        loader.stop(10s);
    }
    theSettings.pairs = savedPairs;
}

TEST_F(SlideLoaderTest, StopWhileAPictureIsSizedLeavesNothingPrepared) {
    const struct { bool cancel; bool prepared; } cases[] = {{false, true}, {true, false}};
    for (const auto& c : cases) {
        const std::atomic<bool> cancel{c.cancel};
        SlideTexture texture;
        // Larger than the pool: prepare must size it down.
        EXPECT_EQ(texture.prepare(makeRGBImage(300, 200), *pool_, &cancel), c.prepared);
        texture.uploadPrepared();
        EXPECT_EQ(texture.valid(), c.prepared);
    }
}

TEST_F(SlideLoaderTest, ASlowDecodeIsToldToTheDebuggerOutput) {
    provider_.holdFrom(1);
    DebugOutputCapture capture;
    auto loader = started(1);
    ASSERT_TRUE(provider_.waitForCalls(1));
    std::this_thread::sleep_for(600ms);
    provider_.release();
    ASSERT_NE(loader->takeSlide(true), nullptr);
    const std::string text = capture.text();
    EXPECT_EQ(text.rfind("Glimmora.scr: a picture took ", 0), 0u) << text;
    EXPECT_NE(text.find(" ms to decode\n"), std::string::npos) << text;
    EXPECT_EQ(text.find("to size"), std::string::npos) << "a small picture is sized at once";
    EXPECT_TRUE(loader->stop(10s));
}
