#include "provider_test_support.h"

#include <chrono>
#include <condition_variable>
#include <future>
#include <thread>

namespace {

// Holds the first decode made on a thread other than the test's own until
// released, then fails it; every other decode succeeds.
class BlockingDecoder {
public:
    RandomImageProvider::PlainDecoder function() {
        return [this](const std::string& path) { return decode(path); };
    }

    void waitUntilBlocked() {
        std::unique_lock lock(mutex_);
        blockedCondition_.wait(lock, [this] { return blocked_; });
    }
    void release() {
        std::lock_guard lock(mutex_);
        released_ = true;
        releaseCondition_.notify_all();
    }
    std::vector<std::string> otherThreadPaths() {
        std::lock_guard lock(mutex_);
        return otherThreadPaths_;
    }

private:
    std::unique_ptr<RGBImage> decode(const std::string& path) {
        if (std::this_thread::get_id() == testThread_) return makeRGBImage(1, 1);
        std::unique_lock lock(mutex_);
        otherThreadPaths_.push_back(path);
        if (otherThreadPaths_.size() > 1) return makeRGBImage(1, 1);
        blocked_ = true;
        blockedCondition_.notify_all();
        releaseCondition_.wait(lock, [this] { return released_; });
        return nullptr;
    }

    const std::thread::id testThread_ = std::this_thread::get_id();
    std::mutex mutex_;
    std::condition_variable blockedCondition_;
    std::condition_variable releaseCondition_;
    bool blocked_ = false;                       // guarded by mutex_
    bool released_ = false;                      // guarded by mutex_
    std::vector<std::string> otherThreadPaths_;  // guarded by mutex_
};

}  // namespace

TEST_F(ProviderTest, DecodesWithoutHoldingTheLock) {
    TempDir dir;
    makeFiles(dir.path().string(), 3, "pic");
    makeFiles(dir.path().string(), 3, "bad");
    ProbedProvider* self = nullptr;
    FakeDecoder fake;
    int decodes = 0, lockedDuringDecode = 0;
    auto decode = [&](const std::string& path) {
        ++decodes;
        if (self->tryLock()) {
            self->unlock();
        } else {
            ++lockedDuringDecode;
        }
        return fake.decode(path);
    };
    ProbedProvider provider({dir.path().string()}, decode);
    self = &provider;
    for (int i = 0; i < 10; ++i) provider.nextImage();
    EXPECT_EQ(decodes, 13);
    EXPECT_EQ(lockedDuringDecode, 0);

    // While one loader is stuck in a decode, another is still served.
    BlockingDecoder blocking;
    ProbedProvider shared({dir.path().string()}, blocking.function());
    std::thread stuck([&] { shared.nextImage(); });
    blocking.waitUntilBlocked();
    auto other = std::async(std::launch::async, [&] { return shared.nextImage(); });
    const bool served = other.wait_for(std::chrono::seconds(20)) == std::future_status::ready;
    blocking.release();
    stuck.join();
    EXPECT_TRUE(served);
    EXPECT_FALSE(isCheckerboard(other.get()));
}

// One loader's decode fails only after the test thread has finished the pass
// and reshuffled. The failed path must be found wherever the shuffle put it
// (before the cursor, on it or after it), and the next path served must be
// the one the cursor designated.
TEST_F(ProviderTest, AFailureAfterAnotherThreadReshuffledKeepsTheCursorOnItsEntry) {
    constexpr std::size_t kCursor = 3;
    // The reshuffle's first draw moves the victim from index 0 to index
    // draw / 3277 (ten entries); all later draws exchange nothing.
    for (const int firstDraw : {0, 3 * 3277, 32767}) {
        const std::size_t victimIndex = static_cast<std::size_t>(firstDraw / 3277);
        SCOPED_TRACE("victim at " + std::to_string(victimIndex) + ", cursor at 3");
        TempDir dir;
        makeFiles(dir.path().string(), 10);
        keepWalkOrder();
        BlockingDecoder decoder;
        ProbedProvider provider({dir.path().string()}, decoder.function());
        const std::string victim = provider.snapshot().files[0];

        std::thread loader([&] { provider.nextImage(); });
        decoder.waitUntilBlocked();
        for (int i = 0; i < 9; ++i) provider.nextImage();
        ASSERT_EQ(provider.snapshot().cursor, 10u);
        int draws = 0;
        setRandomSource([&draws, firstDraw] { return draws++ == 0 ? firstDraw : 0; });
        for (std::size_t i = 0; i < kCursor; ++i) provider.nextImage();
        setRandomSource({});
        const auto reshuffled = provider.snapshot();
        ASSERT_EQ(reshuffled.cursor, kCursor);
        ASSERT_EQ(reshuffled.files[victimIndex], victim);

        decoder.release();
        loader.join();

        auto expected = reshuffled.files;
        expected.erase(expected.begin() + static_cast<std::ptrdiff_t>(victimIndex));
        // Still unserved in this pass, in order, without the victim.
        std::vector<std::string> pending(reshuffled.files.begin() + kCursor,
                                         reshuffled.files.end());
        pending.erase(std::remove(pending.begin(), pending.end(), victim), pending.end());
        const auto paths = decoder.otherThreadPaths();
        ASSERT_EQ(paths.size(), 2u);
        EXPECT_EQ(paths[0], victim);
        EXPECT_EQ(paths[1], pending[0]);
        const auto after = provider.snapshot();
        EXPECT_EQ(after.files, expected);
        ASSERT_LT(after.cursor, after.files.size());
        EXPECT_EQ(after.files[after.cursor], pending[1]);
    }
}

// Several loaders at once while files fail, chunks arrive and passes end.
// Within each pass every listed file must come up exactly once. The walk
// is over long before the first pass can end (each picture lists a chunk
// and serves one file), so every good file was in every pass: its count is
// the number of finished passes, plus one if the current pass has already
// served it.
TEST_F(ProviderTest, ConcurrentLoadersLoseAndRepeatNothingWithinAPass) {
    constexpr int kChunk = 10;
    constexpr int kThreads = 4;
    constexpr int kCallsPerThread = 300;
    TempDir dir;
    const auto good = makeFiles(dir.path().string(), 45, "pic");
    const auto bad = makeFiles(dir.path().string(), 15, "bad");
    const auto order = filesInListingOrder(dir.path().string());
    ASSERT_EQ(order.size(), 60u);
    theSettings.scandirChunkSize = kChunk;

    FakeDecoder fake;
    auto decode = [&fake](const std::string& path) {
        std::this_thread::yield();
        return fake.decode(path);
    };
    ProbedProvider provider({dir.path().string()}, decode);
    std::atomic<int> checkerboards{0};
    std::vector<std::thread> loaders;
    for (int t = 0; t < kThreads; ++t) {
        loaders.emplace_back([&] {
            for (int i = 0; i < kCallsPerThread; ++i) {
                if (isCheckerboard(provider.nextImage())) ++checkerboards;
            }
        });
    }
    for (auto& loader : loaders) loader.join();
    EXPECT_EQ(checkerboards.load(), 0);

    const auto state = provider.snapshot();
    ASSERT_TRUE(state.pendingDirs.empty());
    ASSERT_FALSE(state.listingOpen);
    EXPECT_EQ(asSet(state.files), asSet(good));
    // A failing file is dropped only once its decoder returns; if a pass
    // ends meanwhile, the reshuffled list still holds it and another loader
    // may be served it again. Each loader has at most one file in hand.
    for (const auto& path : bad) {
        EXPECT_GE(fake.calls(path), 1) << path;
        EXPECT_LE(fake.calls(path), kThreads) << path;
    }

    const std::set<std::string> servedThisPass(
        state.files.begin(), state.files.begin() + static_cast<std::ptrdiff_t>(state.cursor));
    auto earlierPasses = [&](const std::string& path) {
        return fake.calls(path) - static_cast<int>(servedThisPass.count(path));
    };
    const int finishedPasses = earlierPasses(good[0]);
    EXPECT_GE(finishedPasses, 10);
    int total = 0;
    for (const auto& path : good) {
        EXPECT_EQ(earlierPasses(path), finishedPasses) << path;
        total += fake.calls(path);
    }
    EXPECT_EQ(total, kThreads * kCallsPerThread);
}
