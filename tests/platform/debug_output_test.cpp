#include "platform/debug_output.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

TEST(DebugOutput, CaptureSeesLinesWrittenWhileItLives) {
    debugOutput("before\n");
    std::string seen;
    {
        DebugOutputCapture capture;
        debugOutput("Glimmora.scr: VSync could not be initialized\n");
        debugOutput("second\n");
        seen = capture.text();
        capture.clear();
        EXPECT_EQ(capture.text(), "");
        debugOutput("third\n");
        EXPECT_EQ(capture.text(), "third\n");
    }
    EXPECT_EQ(seen, "Glimmora.scr: VSync could not be initialized\nsecond\n");

    DebugOutputCapture later;
    debugOutput("after\n");
    EXPECT_EQ(later.text(), "after\n");
}

TEST(DebugOutput, LinesFromSeveralThreadsStayWhole) {
    DebugOutputCapture capture;
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([] {
            for (int i = 0; i < 200; ++i) debugOutput("0123456789\n");
        });
    for (auto& thread : threads) thread.join();
    const std::string text = capture.text();
    ASSERT_EQ(text.size(), 4u * 200u * 11u);
    for (std::size_t i = 0; i < text.size(); i += 11) ASSERT_EQ(text.substr(i, 11), "0123456789\n");
}
