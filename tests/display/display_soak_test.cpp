#include "loader/slide_loader.h"
#include "platform/process_memory.h"

#include "display_test_support.h"

#include <algorithm>
#include <chrono>

namespace {

// Texture names in use or spare in the display's sharing group.
int liveTextures() {
    int live = 0;
    for (GLuint name = 1; name <= 256; ++name) live += glIsTexture(name) ? 1 : 0;
    return live;
}

}  // namespace

TEST_F(DisplayTest, ThousandsOfHandOversKeepTexturesAndMemoryFlat) {
    constexpr int kHandOvers = 2000;
    constexpr int kCapacity = 2;  // the display's loader
    SettingsGuard::fixSlideshow(0.05f, 0.02f);
    auto display = makeDisplay();
    ASSERT_TRUE(showFirstSlide(*display));

    int handOvers = 0;
    int shown = pictureOf(display->current());
    int mostTextures = 0;
    std::size_t settledMemory = 0;
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::minutes(8);
    while (handOvers < kHandOvers && std::chrono::steady_clock::now() < giveUp) {
        frameAfter(*display, 1);
        const int now = pictureOf(display->current());
        if (now == 0 || now == shown) continue;
        shown = now;
        ++handOvers;
        mostTextures = std::max(mostTextures, liveTextures());
        if (handOvers == kHandOvers / 10) settledMemory = processMemoryInUse();
    }
    ASSERT_EQ(handOvers, kHandOvers);
    // The loader holds at most `capacity`, the display two more; the pool
    // may gain one spare when the loader takes a name in the instant between
    // a hand-over's take and the old slide's destruction.
    EXPECT_LE(mostTextures, kCapacity + 2 + 1);
    const std::size_t finalMemory = processMemoryInUse();
    const std::size_t growth = finalMemory > settledMemory ? finalMemory - settledMemory : 0;
    EXPECT_LT(growth, std::size_t{8} << 20) << settledMemory << " -> " << finalMemory;
}
