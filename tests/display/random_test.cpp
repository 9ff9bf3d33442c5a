#include "display/random.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <climits>
#include <cmath>
#include <thread>
#include <vector>

namespace {

// Feeds the draws a scripted generator sequence and counts what they take.
class ScriptedRandom : public ::testing::Test {
protected:
    void script(std::vector<int> values) {
        values_ = std::move(values);
        next_ = 0;
        setRandomSource([this] {
            const int v = values_[next_ % values_.size()];
            ++next_;
            return v;
        });
    }
    void constant(int value) { script({value}); }
    std::size_t taken() const { return next_; }
    void TearDown() override { setRandomSource({}); }

private:
    std::vector<int> values_;
    std::size_t next_ = 0;
};

int highestUniformInt(int a, int b) {
    int highest = INT_MIN;
    int r = 0;
    setRandomSource([&r] { return r; });
    for (r = 0; r <= 32767; ++r) highest = std::max(highest, uniformInt(a, b));
    setRandomSource({});
    return highest;
}

}  // namespace

TEST_F(ScriptedRandom, UniformRealSpansBothEnds) {
    constant(0);
    EXPECT_EQ(uniformReal(-2.5, 7.0), -2.5);
    constant(32767);
    EXPECT_NEAR(uniformReal(-2.5, 7.0), 7.0, 1e-12);
    constant(16384);
    EXPECT_NEAR(uniformReal(0.0, 1.0), 16384.0 / 32767.0, 1e-15);
    EXPECT_EQ(taken(), 1u);
}

TEST_F(ScriptedRandom, UniformIntOfOneValue) {
    for (int r : {0, 1, 12345, 32767}) {
        constant(r);
        EXPECT_EQ(uniformInt(5, 5), 5);
        EXPECT_EQ(uniformInt(-7, -7), -7);
    }
}

TEST(UniformIntReach, TopOfWideRangesIsMissed) {
    EXPECT_EQ(highestUniformInt(0, 193), 193);
    EXPECT_EQ(highestUniformInt(0, 194), 193);
    EXPECT_EQ(highestUniformInt(0, 195), 195);  // 196 values still reach the top
    EXPECT_EQ(highestUniformInt(0, 199), 199);
    EXPECT_EQ(highestUniformInt(0, 200), 199);  // 201 values do not
    EXPECT_EQ(highestUniformInt(0, 999), 992);
    EXPECT_EQ(highestUniformInt(0, 19999), 16383);
    EXPECT_EQ(highestUniformInt(10, 1009), 1002);
}

TEST(UniformIntReach, RangesWiderThanTheGeneratorDoNotOverflow) {
    // The divisor is 1: the result is a plus the raw value.
    EXPECT_EQ(highestUniformInt(0, 32767), 32767);
    EXPECT_EQ(highestUniformInt(0, INT_MAX), 32767);
    EXPECT_EQ(highestUniformInt(INT_MIN, INT_MAX), INT_MIN + 32767);
    EXPECT_EQ(highestUniformInt(-100, 100000), -100 + 32767);
}

TEST(UniformIntReach, SmallRangesAreNearlyEven) {
    int counts[3] = {0, 0, 0};
    int r = 0;
    setRandomSource([&r] { return r; });
    for (r = 0; r <= 32767; ++r) ++counts[uniformInt(0, 2)];
    setRandomSource({});
    EXPECT_EQ(counts[0], 10923);
    EXPECT_EQ(counts[1], 10923);
    EXPECT_EQ(counts[2], 10922);
}

TEST_F(ScriptedRandom, GaussianPairSharesOneDraw) {
    // u = 2*24000/32767-1, v = 2*10000/32767-1: inside the unit circle.
    script({24000, 10000});
    const double first = gaussian(0.0f, 1.0f);
    EXPECT_EQ(taken(), 2u);
    const double second = gaussian(0.0f, 1.0f);
    EXPECT_EQ(taken(), 2u) << "the cached deviate must not draw";

    const float u = static_cast<float>(2.0 * 24000 / 32767.0 - 1.0);
    const float v = static_cast<float>(2.0 * 10000 / 32767.0 - 1.0);
    const double s = static_cast<double>(u) * u + static_cast<double>(v) * v;
    // The polar method's pair lies on the circle of radius sqrt(-2 ln s)
    // in the direction of (u, v).
    EXPECT_NEAR(first * first + second * second, -2.0 * std::log(s), 1e-5);
    EXPECT_NEAR(first / second, static_cast<double>(u) / v, 1e-5);
    EXPECT_GT(first, 0.0);
    EXPECT_LT(second, 0.0);
}

TEST_F(ScriptedRandom, CachedDeviateTakesTheScaleOfItsOwnCall) {
    script({24000, 10000});
    const double z1 = gaussian(0.0f, 1.0f);
    const double z2 = gaussian(0.0f, 1.0f);
    script({24000, 10000});
    EXPECT_NEAR(gaussian(10.0f, 2.0f), 10.0 + 2.0 * z1, 1e-5);
    EXPECT_NEAR(gaussian(-3.0f, 0.5f), -3.0 + 0.5 * z2, 1e-5);
}

TEST_F(ScriptedRandom, GaussianRejectsPairsOutsideTheCircle) {
    // (32767, 32767) gives u = v = 1, s = 2: thrown away.
    script({32767, 32767, 0, 32767, 24000, 10000});
    const double value = gaussian(0.0f, 1.0f);
    EXPECT_EQ(taken(), 6u);
    script({24000, 10000});
    EXPECT_EQ(value, gaussian(0.0f, 1.0f));
}

TEST_F(ScriptedRandom, GaussianWithoutSpreadIsTheMean) {
    script({24000, 10000, 5, 32000, 17000, 16000});
    for (int i = 0; i < 10; ++i) EXPECT_EQ(gaussian(3.0f, 0.0f), 3.0);
}

TEST_F(ScriptedRandom, NegativeSigmaMirrors) {
    script({24000, 10000});
    const double a = gaussian(1.0f, 2.0f);
    const double b = gaussian(1.0f, 2.0f);
    script({24000, 10000});
    EXPECT_NEAR(gaussian(1.0f, -2.0f), 2.0 - a, 1e-9);
    EXPECT_NEAR(gaussian(1.0f, -2.0f), 2.0 - b, 1e-9);
}

TEST(RandomGenerator, SeedRestartsTheSameFifteenBitSequence) {
    seedRandom(12345);
    std::vector<int> first;
    for (int i = 0; i < 1000; ++i) first.push_back(randomValue());
    seedRandom(12345);
    for (int i = 0; i < 1000; ++i) ASSERT_EQ(randomValue(), first[i]);
    EXPECT_TRUE(std::all_of(first.begin(), first.end(), [](int v) { return v >= 0 && v <= 32767; }));
    // Not stuck: a sample of a thousand covers both halves of the range.
    EXPECT_TRUE(std::any_of(first.begin(), first.end(), [](int v) { return v < 16384; }));
    EXPECT_TRUE(std::any_of(first.begin(), first.end(), [](int v) { return v >= 16384; }));
    seedRandom(54321);
    int same = 0;
    for (int i = 0; i < 1000; ++i) same += randomValue() == first[i];
    EXPECT_LT(same, 50);
}

TEST(RandomGenerator, OneSequenceAcrossThreads) {
    // Whatever thread draws, the values continue one sequence: the union of
    // what four threads draw is exactly the next 4000 values of the seed.
    seedRandom(777);
    std::vector<int> expected;
    for (int i = 0; i < 4000; ++i) expected.push_back(randomValue());
    seedRandom(777);
    std::vector<std::vector<int>> drawn(4);
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&drawn, t] {
            for (int i = 0; i < 1000; ++i) drawn[t].push_back(randomValue());
        });
    for (auto& thread : threads) thread.join();
    std::vector<int> all;
    for (auto& d : drawn) all.insert(all.end(), d.begin(), d.end());
    std::sort(all.begin(), all.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(all, expected);
}

TEST(RandomGenerator, DrawsAreIndivisibleUnderConcurrency) {
    // Each gaussian pair must come from two consecutive generator values:
    // with a source that counts, a torn pair would show as a mismatch
    // between the calls made and the values taken.
    std::atomic<int> counter{0};
    setRandomSource([&counter] { return 16384 + (counter++ % 2 == 0 ? 6000 : 2000); });
    std::vector<std::thread> threads;
    std::atomic<int> bad{0};
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&bad] {
            for (int i = 0; i < 2000; ++i) {
                const double g = gaussian(0.0f, 1.0f);
                if (!std::isfinite(g)) ++bad;
                (void)uniformInt(0, 9);
                (void)uniformReal(0.0, 1.0);
            }
        });
    for (auto& thread : threads) thread.join();
    setRandomSource({});
    EXPECT_EQ(bad.load(), 0);
    // 8000 gaussian calls take 4000 pairs; 8000 + 8000 single draws.
    EXPECT_EQ(counter.load(), 8000 + 16000);
}

TEST_F(ScriptedRandom, GaussianExactValuesRoundThroughSinglePrecision) {
    // u, v and the factor m are 32-bit floats; keeping any of them in double
    // precision changes these results in their last digits.
    const struct {
        int u, v;
        double first, second;
    } cases[] = {
        {24000, 10000, 2.1256963467058796, -0.86251989006996155},
        {1, 16384, 0.47656223188278091, 0.50000071532940638},
        {30000, 16000, 1.7884279588639487, 0.46371225174516439},
        {5000, 20000, -1.10733507798696, 1.0106449872255325},
    };
    for (const auto& c : cases) {
        script({c.u, c.v});
        EXPECT_EQ(gaussian(0.5f, 1.5f), c.first) << c.u << ", " << c.v;
        EXPECT_EQ(gaussian(0.5f, 1.5f), c.second) << c.u << ", " << c.v;
    }
}

TEST_F(ScriptedRandom, ReversedBoundsMeanTheSameRange) {
    for (int r : {0, 1, 16383, 32767}) {
        constant(r);
        EXPECT_EQ(uniformInt(9, 0), uniformInt(0, 9)) << r;
        EXPECT_EQ(uniformInt(0, -1), uniformInt(-1, 0)) << r;  // once a division by zero
        EXPECT_EQ(uniformInt(INT_MAX, INT_MIN), uniformInt(INT_MIN, INT_MAX)) << r;
        EXPECT_EQ(wideUniformInt(99999, 0), wideUniformInt(0, 99999)) << r;
    }
}

TEST_F(ScriptedRandom, WideDrawReachesEveryValueOfLongRanges) {
    const struct {
        int high, low;  // the two generator values, in the order drawn
        int a, b;
        int expected;
    } cases[] = {
        {0, 0, 0, 99999, 0},
        {32767, 32767, 0, 99999, 99999},  // the top is reached
        {16384, 0, 0, 99999, 50000},      // half way
        {32767, 32767, 7, 7, 7},
        {32767, 32767, -5, 1 << 29, 1 << 29},
        {0, 1, 0, (1 << 30) - 1, 1},  // 2^30 values: one step per value
    };
    for (const auto& c : cases) {
        script({c.high, c.low});
        EXPECT_EQ(wideUniformInt(c.a, c.b), c.expected) << c.high << ", " << c.low;
        EXPECT_EQ(taken(), 2u);
    }
}
