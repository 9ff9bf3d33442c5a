#pragma once
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <vector>

#include "platform/gl.h"
#include "platform/gl_context.h"

// A context of its own, current on the calling thread for the lifetime of
// the object, drawing into a width x height surface.
class CurrentGLContext {
public:
    CurrentGLContext(int width, int height) : target_(width, height) {
        if (target_.valid()) context_ = GLContext::create(target_.target());
        current_ = context_ && context_->makeCurrent();
    }
    ~CurrentGLContext() {
        if (current_) GLContext::releaseCurrent();
    }
    CurrentGLContext(const CurrentGLContext&) = delete;
    CurrentGLContext& operator=(const CurrentGLContext&) = delete;

    bool current() const { return current_; }

private:
    // Mesa's software rasteriser draws on threads of its own, whose internal
    // hand-offs ThreadSanitizer cannot see and reports as races. Drawing on
    // the calling thread keeps these tests meaningful under it; a value set
    // from outside wins.
    static bool singleThreadedRasterizer() {
#ifndef _WIN32
        static const bool set = setenv("LP_NUM_THREADS", "0", 0) == 0;
        return set;
#else
        return true;
#endif
    }

    [[maybe_unused]] bool rasterizerChosen_ = singleThreadedRasterizer();  // before any context
    GLOffscreenTarget target_;
    std::unique_ptr<GLContext> context_;
    bool current_ = false;
};

// Test fixture whose cases run with a context current.
template <int Width, int Height>
class GLTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(gl_.current()) << "no OpenGL context"; }

    // The whole of `level` of the bound 2-D texture, RGBA rows bottom up.
    static std::vector<unsigned char> readLevel(int level) {
        GLint w = 0, h = 0;
        glGetTexLevelParameteriv(GL_TEXTURE_2D, level, GL_TEXTURE_WIDTH, &w);
        glGetTexLevelParameteriv(GL_TEXTURE_2D, level, GL_TEXTURE_HEIGHT, &h);
        std::vector<unsigned char> texels(static_cast<std::size_t>(w) * h * 4);
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glGetTexImage(GL_TEXTURE_2D, level, GL_RGBA, GL_UNSIGNED_BYTE, texels.data());
        return texels;
    }

    CurrentGLContext gl_{Width, Height};
};
