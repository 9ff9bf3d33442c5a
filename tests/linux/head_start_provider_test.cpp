#include "linux/head_start_provider.h"

#include "support/settings_guard.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <filesystem>
#include <set>
#include <string>

namespace {

// Pictures one pixel high whose width is their file's name.
RandomImageProvider::PlainDecoder widthFromName(std::atomic<int>& decodes) {
    return [&decodes](const std::string& path) {
        ++decodes;
        const int width = std::stoi(std::filesystem::path(path).filename().string());
        auto picture = makeRGBImage(width, 1);
        if (picture) std::fill(picture->pixels, picture->pixels + 3 * width, 0);
        return picture;
    };
}

}  // namespace

TEST(HeadStartProvider, TheEarlyPictureIsThePassesFirstAndNoneIsLostOrRepeated) {
    SettingsGuard guard;
    TempDir dir;
    for (int width = 1; width <= 5; ++width)
        writeFile((dir.path() / std::to_string(width)).string(), "x");
    std::atomic<int> decodes{0};
    HeadStartProvider provider(std::make_unique<RandomImageProvider>(
        std::vector<std::string>{dir.path().string()}, widthFromName(decodes)));
    std::set<int> widths;
    for (int i = 0; i < 5; ++i) {
        auto picture = provider.nextImage();
        ASSERT_NE(picture, nullptr);
        widths.insert(picture->width);
    }
    // One shuffled pass: every file once, the early one included.
    EXPECT_EQ(widths, (std::set<int>{1, 2, 3, 4, 5}));
    EXPECT_EQ(decodes.load(), 5);
}

TEST(HeadStartProvider, GoesWithItsEarlyPictureUntaken) {
    TempDir dir;
    writeFile((dir.path() / "7").string(), "x");
    std::atomic<int> decodes{0};
    {
        HeadStartProvider provider(std::make_unique<RandomImageProvider>(
            std::vector<std::string>{dir.path().string()}, widthFromName(decodes)));
    }
    // The decode had ended before the provider went (its picture freed).
    EXPECT_EQ(decodes.load(), 1);
}

TEST(HeadStartProvider, SaysWhileItsUntakenEarlyDecodeRuns) {
    TempDir dir;
    writeFile((dir.path() / "3").string(), "x");
    std::atomic<bool> release{false};
    RandomImageProvider::PlainDecoder held = [&release](const std::string&) {
        while (!release) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        return makeRGBImage(3, 1);
    };
    HeadStartProvider provider(std::make_unique<RandomImageProvider>(
        std::vector<std::string>{dir.path().string()}, held));
    EXPECT_TRUE(provider.headStartRunning());
    release = true;
    EXPECT_NE(provider.nextImage(), nullptr);
    EXPECT_FALSE(provider.headStartRunning());
}

TEST(HeadStartProvider, TheEarlyPictureIsDecodedForTheFirstNeedAndLaterOnesForTheirOwn) {
    SettingsGuard guard;
    TempDir dir;
    for (int n = 1; n <= 3; ++n) writeFile((dir.path() / std::to_string(n)).string(), "x");
    // Each picture is as wide as its need.
    RandomImageProvider::Decoder needWide = [](const std::string&, const PictureNeed& need) {
        auto picture = makeRGBImage(need.width, 1);
        if (picture) std::fill(picture->pixels, picture->pixels + 3 * need.width, 0);
        return picture;
    };
    HeadStartProvider provider(
        std::make_unique<RandomImageProvider>(std::vector<std::string>{dir.path().string()}, needWide),
        PictureNeed{7, 5});
    EXPECT_EQ(provider.nextImage(PictureNeed{9, 9})->width, 7);
    EXPECT_EQ(provider.nextImage(PictureNeed{9, 9})->width, 9);
}
