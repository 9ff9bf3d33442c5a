#include "slides/slide_reach.h"

#include <gtest/gtest.h>

#include <cmath>

#include "settings/settings.h"
#include "support/settings_guard.h"

namespace {

struct PathCase {
    float z0Mean, z0Sigma, z1Mean, z1Sigma;
    double nearest;
};

TEST(SlideReach, NearestApproachIsTheNearerEndFourSigmasIn) {
    const PathCase cases[] = {
        {-0.8f, 0.03f, -1.0f, 0.01f, 0.68},   // the defaults: the start end
        {-1.0f, 0.01f, -0.8f, 0.03f, 0.68},   // the same, the other way
        {-0.8f, -0.03f, -1.0f, 0.01f, 0.68},  // a negative sigma counts as its size
        {-0.5f, 0.1f, -1.0f, 0.0f, 0.25},     // through the near plane: held there
        {0.5f, 0.0f, 1.0f, 0.0f, 0.25},       // behind the eye
        {-3.0f, 0.0f, -4.0f, 0.0f, 2.0},      // beyond the far plane
        {NAN, 0.0f, -1.0f, 0.0f, 0.25},       // a broken setting
    };
    SettingsGuard guard;
    for (const PathCase& c : cases) {
        theSettings.z0Mean = c.z0Mean, theSettings.z0Sigma = c.z0Sigma;
        theSettings.z1Mean = c.z1Mean, theSettings.z1Sigma = c.z1Sigma;
        EXPECT_NEAR(nearestApproach(theSettings), c.nearest, 1e-6) << c.z0Mean << " " << c.z1Mean;
    }
}

struct ReachCase {
    int width, height, limit;
    TextureExtent extent;
    PictureNeed need;
};

TEST(SlideReach, TexturesAreThePowersNearestTheBoxAtTheNearestApproachWithinTheLimit) {
    // With the default path the nearest approach is 0.68.
    const ReachCase cases[] = {
        {1280, 1024, 4096, {2048, 1024}, {1883, 1506}},
        {1920, 1080, 4096, {2048, 2048}, {2824, 1589}},
        {3840, 2160, 4096, {4096, 4096}, {4096, 3177}},  // the limit holds the box
        {1920, 1080, 1024, {1024, 1024}, {1024, 1024}},  // texDim 1024
        {152, 112, 4096, {256, 128}, {224, 165}},        // the preview pane
        {1, 1, 4096, {2, 2}, {2, 2}},
    };
    SettingsGuard guard;
    theSettings.setDefaults();
    for (const ReachCase& c : cases) {
        const DisplayReach reach = displayReach(c.width, c.height, c.limit, theSettings);
        EXPECT_EQ(reach.extent, c.extent) << c.width << "x" << c.height;
        EXPECT_EQ(reach.need, c.need) << c.width << "x" << c.height;
        EXPECT_EQ(reach.box, boxAtDepth(c.width, c.height, 0.68)) << c.width << "x" << c.height;
    }
}

TEST(SlideReach, WithoutAViewportTheLimitAloneHolds) {
    EXPECT_EQ(boxAtDepth(0, 100, 0.5), PictureNeed{});
    EXPECT_EQ(textureExtentFor(PictureNeed{}, 1024), (TextureExtent{1024, 1024}));
    EXPECT_EQ(needWithin(PictureNeed{}, {1024, 512}), (PictureNeed{1024, 512}));
    EXPECT_EQ(textureExtentFor(PictureNeed{100, 100}, 0), TextureExtent{});
}

struct SideCase {
    int side;
    long long fitted;
    int texture;
};

TEST(SlideReach, ATextureSideIsThePowerOfTwoNearestWhatIsShown) {
    const SideCase cases[] = {
        {5184, 1883, 2048},  // shown smaller: the power nearest what is shown
        {4000, 1365, 1024},  // which may lie below it
        {3000, 2118, 2048},
        {2592, 2048, 2048},  // exactly a power
        {1300, 1300, 1024},  // shown whole: nearest, as without a need
        {768, 768, 1024},    // a tie goes up
        {1, 1, 1},
    };
    for (const SideCase& c : cases) EXPECT_EQ(textureSide(c.side, c.fitted), c.texture) << c.side;
}

}  // namespace
