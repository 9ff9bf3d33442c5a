#include "slides/texture_pool.h"

#include "platform/gl.h"

#include <algorithm>
#include <type_traits>

static_assert(std::is_same_v<GLuint, unsigned int>);

namespace {

int levelCount(int width, int height) {
    int levels = 1;
    for (int size = std::max(width, height); size > 1; size /= 2) ++levels;
    return levels;
}

}  // namespace

void setSlideSampling() {
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR_MIPMAP_LINEAR);
}

TexturePool::TexturePool(int width, int height)
    : width_(width), height_(height), levels_(levelCount(width, height)) {}

TexturePool::~TexturePool() {
    std::lock_guard lock(mutex_);
    for (GLuint name : freeNames_) glDeleteTextures(1, &name);
    freeNames_.clear();
}

unsigned int TexturePool::takeName() {
    {
        std::lock_guard lock(mutex_);
        if (!freeNames_.empty()) {
            const GLuint name = freeNames_.front();
            freeNames_.pop_front();
            return name;
        }
    }
    // A new texture is made outside the lock: only this thread can see it.
    GLuint name = 0;
    glGenTextures(1, &name);
    glBindTexture(GL_TEXTURE_2D, name);
    setSlideSampling();
    int w = width_;
    int h = height_;
    for (int level = 0; level < levels_; ++level) {
        glTexImage2D(GL_TEXTURE_2D, level, GL_RGBA, w, h, 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
        w = std::max(w / 2, 1);
        h = std::max(h / 2, 1);
    }
    return name;
}

void TexturePool::giveBack(unsigned int name) {
    std::lock_guard lock(mutex_);
    freeNames_.push_back(name);
}

void TexturePool::discard(unsigned int name) {
    if (name == 0) return;
    GLuint doomed = name;
    glDeleteTextures(1, &doomed);
}
