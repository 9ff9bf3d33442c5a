#include "settings/dialog_values.h"
#include "settings/settings.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

constexpr float inf = std::numeric_limits<float>::infinity();

struct SecondsCase {
    float seconds;
    int position;
    const char* label;  // what the label shows for the stored value
    float okStores;     // what OK stores with the slider left alone
};

const SecondsCase secondsCases[] = {
    {17.0f, 120, "17", 17.0f},
    {17.04f, 120, "17.04", 17.0f},
    {90.0f, 550, "90", 60.0f},
    {3.0f, 0, "3", 5.0f},
    {5.0f, 0, "5", 5.0f},
    {60.0f, 550, "60", 60.0f},
    {4.96f, 0, "4.96", 5.0f},
    {-7.0f, 0, "-7", 5.0f},
    {1e30f, 550, "1e+30", 60.0f},
    {inf, 550, "inf", 60.0f},
    {-inf, 0, "-inf", 5.0f},
    {std::nanf(""), 120, "nan", 17.0f},
};

}  // namespace

TEST(DialogValues, StoredSecondsOnSliderAndLabel) {
    for (const SecondsCase& c : secondsCases) {
        SCOPED_TRACE(c.label);
        EXPECT_EQ(positionForSeconds(c.seconds), c.position);
        EXPECT_EQ(secondsText(c.seconds), c.label);
        EXPECT_EQ(secondsAtPosition(positionForSeconds(c.seconds)), c.okStores);
    }
}

TEST(DialogValues, EverySliderPositionRoundTrips) {
    EXPECT_EQ(secondsAtPosition(0), 5.0f);
    EXPECT_EQ(secondsAtPosition(120), 17.0f);  // exactly, not 16.999
    EXPECT_EQ(secondsAtPosition(kSecondsSliderLast), 60.0f);
    for (int p = 0; p <= kSecondsSliderLast; ++p) {
        ASSERT_EQ(positionForSeconds(secondsAtPosition(p)), p) << p;
    }
}

TEST(DialogValues, TextureChoiceTexts) {
    const char* const texts[] = {"Driver Maximum", "2048x2048", "1024x1024", "512x512", "256x256"};
    for (std::size_t i = 0; i < std::size(textureSizeChoices); ++i) {
        EXPECT_EQ(textureChoiceText(textureSizeChoices[i]), texts[i]);
    }
}

TEST(DialogBinding, DestroyedRecordLeavesNoEntry) {
    int window = 0;  // any address stands in for a window handle
    {
        Settings s;
        s.dialogWindow = &window;
        dialogSettings.emplace(&window, &s);
    }
    EXPECT_EQ(dialogSettings.count(&window), 0u);
}
