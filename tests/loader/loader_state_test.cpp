#include "loader/loader_state.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

using namespace std::chrono_literals;

namespace {

enum class Step { Stop, Enter, Leave, Finish };

}  // namespace

// Each sequence of the thread's and the owner's steps, with what every
// mark call answers and where the owner then finds the thread.
TEST(LoaderState, AStopBeforeTheProviderIsAskedIsSeenThere) {
    const struct {
        const char* name;
        std::vector<Step> steps;
        std::vector<bool> answers;  // of Enter and Leave, in order
        bool leavable;              // the owner's wait ends at once
        bool ended;
    } cases[] = {
        {"nothing yet", {}, {}, false, false},
        {"in the provider", {Step::Enter}, {true}, true, false},
        {"back out of it", {Step::Enter, Step::Leave}, {true, true}, false, false},
        // The stop landed between the thread's last look and its mark: no
        // decode starts, and the owner must wait for the thread's end.
        {"stop before entering", {Step::Stop, Step::Enter}, {false}, false, false},
        {"stop inside", {Step::Enter, Step::Stop, Step::Leave}, {true, false}, true, false},
        {"ended", {Step::Stop, Step::Finish}, {}, true, true},
    };
    for (const auto& c : cases) {
        LoaderState state;
        std::vector<bool> answers;
        for (Step step : c.steps) {
            switch (step) {
            case Step::Stop: state.requestStop(); break;
            case Step::Enter: answers.push_back(state.enterProvider()); break;
            case Step::Leave: answers.push_back(state.leaveProvider()); break;
            case Step::Finish: state.finish(); break;
            }
        }
        EXPECT_EQ(answers, c.answers) << c.name;
        EXPECT_EQ(state.waitUntilEndedOrLeavable(0ms), c.leavable) << c.name;
        EXPECT_EQ(state.ended(), c.ended) << c.name;
        EXPECT_EQ(state.waitForEnd(0ms), c.ended) << c.name;
    }
}

TEST(LoaderState, StopEndsPauseAndPausedWaitAndResetClearsIt) {
    LoaderState state;
    state.setPaused(true);
    EXPECT_TRUE(state.pauseUnlessStopped(1ms));
    state.requestStop();
    EXPECT_TRUE(state.stopRequested());
    EXPECT_TRUE(state.stopFlag()->load());
    EXPECT_FALSE(state.waitWhilePaused());
    EXPECT_FALSE(state.pauseUnlessStopped(10s));
    state.reset();
    state.setPaused(false);
    EXPECT_FALSE(state.stopRequested());
    EXPECT_TRUE(state.waitWhilePaused());
    EXPECT_TRUE(state.enterProvider());
}
