#include "platform/grace_exit.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

using namespace std::chrono_literals;

TEST(GraceExit, EndsTheProcessOnlyWhenTheGraceRunsOutArmed) {
    const struct {
        const char* name;
        bool arm;
        bool disarmInTime;
        int endings;
    } cases[] = {
        {"never armed", false, false, 0},
        {"disarmed in time", true, true, 0},
        {"stuck past the grace", true, false, 1},
    };
    for (const auto& c : cases) {
        std::atomic<int> endings{0};
        std::atomic<int> status{-100};
        {
            GraceExit grace([&](int s) {
                status = s;
                ++endings;
            });
            if (c.arm) grace.arm(c.disarmInTime ? 10s : 20ms, 7);
            // A second arm neither restarts nor adds a watch.
            if (c.arm) grace.arm(10s, 8);
            if (c.disarmInTime) {
                grace.disarm();
            } else {
                const auto giveUp = std::chrono::steady_clock::now() + 10s;
                while (c.endings && endings == 0 && std::chrono::steady_clock::now() < giveUp)
                    std::this_thread::sleep_for(1ms);
            }
        }
        EXPECT_EQ(endings, c.endings) << c.name;
        if (c.endings) {
            EXPECT_EQ(status, 7) << c.name;
        }
    }
}

TEST(GraceExit, DisarmedBeforeArmingNeverStartsAWatch) {
    int endings = 0;
    GraceExit grace([&](int) { ++endings; });
    grace.disarm();
    grace.arm(0ms, 0);
    std::this_thread::sleep_for(20ms);
    EXPECT_EQ(endings, 0);
}
