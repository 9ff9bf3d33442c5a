#include "settings/settings.h"

#include "platform/gl_context.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

std::int32_t limitFor(std::int32_t texDim, std::int32_t driverMaximum) {
    Settings s;
    s.texDim = texDim;
    s.maxTextureSize = driverMaximum;
    return s.textureLimit();
}

}  // namespace

TEST(TextureLimit, ChoiceOrDriverMaximumCappedAt4096) {
    EXPECT_EQ(limitFor(0, 4096), 4096);
    EXPECT_EQ(limitFor(0, 2048), 2048);
    EXPECT_EQ(limitFor(0, 16384), 4096);
    EXPECT_EQ(limitFor(1, 16384), 2048);
    EXPECT_EQ(limitFor(1, 1024), 2048);  // the choice wins even above the driver
    EXPECT_EQ(limitFor(3, 16384), 512);
    EXPECT_EQ(limitFor(4, 64), 256);
    EXPECT_EQ(limitFor(9, 1024), 1024);  // no table entry: as 0
    EXPECT_EQ(limitFor(9, 8192), 4096);
    EXPECT_EQ(limitFor(-1, 2048), 2048);
}

TEST(TextureLimit, DriverMaximumComesFromTheCurrentContext) {
    GLOffscreenTarget window(16, 16);
    ASSERT_TRUE(window.valid());
    auto context = GLContext::create(window.target());
    ASSERT_NE(context, nullptr);
    ASSERT_TRUE(context->makeCurrent());
    Settings s;
    s.queryMaxTextureSize();
    GLContext::releaseCurrent();

    // OpenGL 1.1 guarantees at least 64 texels; drivers report powers of two.
    EXPECT_GE(s.maxTextureSize, 64);
    EXPECT_EQ(s.maxTextureSize & (s.maxTextureSize - 1), 0);
    EXPECT_EQ(s.textureLimit(), std::min(s.maxTextureSize, 4096));
}
