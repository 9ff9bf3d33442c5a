#include "display_test_support.h"

namespace {

TEST_F(DisplayTest, TexturesAndPicturesAreSizedForTheWindow) {
    // Slides at the unit plane: a picture fills at most the window itself.
    SettingsGuard::fixSlideshow(2.0f, 1.0f);
    auto display = makeDisplay();
    ASSERT_TRUE(showFirstSlide(*display));
    EXPECT_EQ(display->textureSize(), 64);
    EXPECT_EQ(provider_.lastNeed(), (PictureNeed{kWidth, kHeight}));
    // A window that grows asks for larger pictures, within the textures
    // it has.
    ASSERT_TRUE(provider_.waitForCalls(3));
    display->resize(200, 40);
    frameAfter(*display, 200);  // the first slide runs out
    frameAfter(*display, 1);    // and the next one is taken
    ASSERT_TRUE(provider_.waitForCalls(4));
    EXPECT_EQ(provider_.lastNeed(), (PictureNeed{64, 40}));
}

}  // namespace
