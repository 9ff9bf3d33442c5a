#pragma once
#include <deque>
#include <mutex>

// Sets the sampling of a slide texture (clamped, trilinear) on the bound
// texture: every pool texture has it, and so has the display's warm-up.
void setSlideSampling();

// The texture names of one display. Every texture has the same storage, a
// full mipmap chain below a width x height level 0, so a name whose slide is
// gone can be handed out again without reallocating anything. The loader
// thread takes names while the display thread gives them back.
class TexturePool {
public:
    // No OpenGL call; the pool starts without textures.
    TexturePool(int width, int height);
    // Deletes every free texture; needs a current context of the sharing
    // group, and every name must have come back.
    ~TexturePool();
    TexturePool(const TexturePool&) = delete;
    TexturePool& operator=(const TexturePool&) = delete;

    // Mipmap levels of every texture: the chain from level 0 down to 1x1.
    int levels() const { return levels_; }
    int width() const { return width_; }
    int height() const { return height_; }

    // The longest-free name, or a new texture with all its levels allocated
    // when none is free (then a context of the sharing group must be current).
    unsigned int takeName();
    // Makes `name` free again, behind the names already free. No OpenGL call.
    void giveBack(unsigned int name);
    // Deletes a name taken from the pool whose texture must not be used
    // again (its upload failed); takeName() makes a new texture in its
    // place when no other name is free. Needs a current context of the
    // sharing group.
    void discard(unsigned int name);

private:
    const int width_;
    const int height_;
    const int levels_;
    std::mutex mutex_;
    std::deque<unsigned int> freeNames_;  // guarded by mutex_, held for one take or give-back
};
