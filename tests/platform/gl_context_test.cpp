#include "platform/gl.h"
#include "platform/gl_context.h"

#include <gtest/gtest.h>

#include <array>
#include <thread>

namespace {

constexpr int kSize = 32;

// Draws a full-viewport quad with `texture` into the current context.
void drawTexturedQuad(GLuint texture) {
    glViewport(0, 0, kSize, kSize);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, texture);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);
    glBegin(GL_QUADS);
    glTexCoord2f(0, 0); glVertex2f(-1, -1);
    glTexCoord2f(1, 0); glVertex2f(1, -1);
    glTexCoord2f(1, 1); glVertex2f(1, 1);
    glTexCoord2f(0, 1); glVertex2f(-1, 1);
    glEnd();
    glFinish();
}

}  // namespace

TEST(GLContext, TextureUploadedOnSecondThreadIsDrawnByFirstContext) {
    GLOffscreenTarget window(kSize, kSize);
    ASSERT_TRUE(window.valid());
    auto display = GLContext::create(window.target());
    ASSERT_NE(display, nullptr);
    auto loader = GLContext::create(window.target(), display.get());
    ASSERT_NE(loader, nullptr);

    GLuint name = 0;
    bool uploaded = false;
    std::thread worker([&] {
        if (!loader->makeCurrent()) return;
        // A 2x2 texture: one colour per texel, clamped and sampled nearest
        // so each quarter of the quad shows exactly one texel.
        const std::array<unsigned char, 16> texels = {
            255, 0, 0, 255,    0, 255, 0, 255,
            0, 0, 255, 255,    255, 255, 255, 255};
        glGenTextures(1, &name);
        glBindTexture(GL_TEXTURE_2D, name);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
        glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, 2, 2, 0, GL_RGBA, GL_UNSIGNED_BYTE, texels.data());
        glFinish();
        uploaded = glGetError() == GL_NO_ERROR;
        GLContext::releaseCurrent();
    });
    worker.join();
    ASSERT_TRUE(uploaded);
    ASSERT_NE(name, 0u);

    ASSERT_TRUE(display->makeCurrent());
    EXPECT_EQ(glIsTexture(name), GL_TRUE);
    drawTexturedQuad(name);
    std::array<unsigned char, kSize * kSize * 4> pixels{};
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadBuffer(GL_BACK);
    glReadPixels(0, 0, kSize, kSize, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));

    auto at = [&](int x, int y) {
        const unsigned char* p = &pixels[(y * kSize + x) * 4];
        return std::array<int, 3>{p[0], p[1], p[2]};
    };
    EXPECT_EQ(at(4, 4), (std::array<int, 3>{255, 0, 0}));        // bottom left
    EXPECT_EQ(at(kSize - 5, 4), (std::array<int, 3>{0, 255, 0})); // bottom right
    EXPECT_EQ(at(4, kSize - 5), (std::array<int, 3>{0, 0, 255})); // top left
    EXPECT_EQ(at(kSize - 5, kSize - 5), (std::array<int, 3>{255, 255, 255}));

    glDeleteTextures(1, &name);
    GLContext::releaseCurrent();
}

#ifdef _WIN32
TEST(GLContext, ContextWithoutDrawableIsRefused) {
    GLTarget nothing;
    EXPECT_EQ(GLContext::create(nothing), nullptr);
}
#endif
