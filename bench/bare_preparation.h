#pragma once
// What the time to the first picture is measured against: one slide
// prepared bare, as the loader does it, from a photograph-like JPEG.
#include "images/load_image_file.h"
#include "platform/gl.h"
#include "platform/gl_context.h"
#include "settings/settings.h"
#include "slides/slide.h"
#include "slides/slide_texture.h"
#include "slides/texture_pool.h"

#include "photograph.h"

#include <turbojpeg.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <vector>

// A photograph-like JPEG (smooth gradients, structure, sensor noise), a
// different one per seed, so the decoder does realistic work.
inline void writePhotograph(const std::filesystem::path& path, int width, int height,
                            unsigned seed) {
    const std::vector<unsigned char> pixels = photographPixels(
        width, height, 0.0015f + 0.0004f * seed, 0.0012f + 0.0003f * seed, seed);
    tjhandle compressor = tjInitCompress();
    unsigned char* data = nullptr;
    unsigned long size = 0;
    tjCompress2(compressor, pixels.data(), width, 0, height, TJPF_RGB, &data, &size, TJSAMP_420,
                90, 0);
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    tjFree(data);
    tjDestroy(compressor);
}

// The texture edge a display would use with the current settings, read from
// a context of this machine's driver; 0 when no context can be made.
inline int displayTextureLimit() {
    GLOffscreenTarget target(1, 1);
    auto context = GLContext::create(target.target());
    if (!context || !context->makeCurrent()) return 0;
    theSettings.queryMaxTextureSize();
    GLContext::releaseCurrent();
    return theSettings.textureLimit();
}

// What the loader does for one picture, on a context of its own: decode,
// resize, mipmap chain, upload, finished.
inline std::chrono::steady_clock::duration barePreparation(const std::filesystem::path& path,
                                                           int textureEdge) {
    GLOffscreenTarget target(1, 1);
    auto context = GLContext::create(target.target());
    if (!context || !context->makeCurrent()) return {};
    TexturePool pool(textureEdge, textureEdge);
    // The pool's first texture costs its storage; the display's loader pays
    // that too, so it is part of the preparation.
    const auto start = std::chrono::steady_clock::now();
    auto texture = std::make_unique<SlideTexture>();
    texture->upload(loadImageFile(path.string().c_str()), pool);
    Slide slide(std::move(texture));
    slide.randomize(false);
    glFinish();
    const auto took = std::chrono::steady_clock::now() - start;
    slide.texture.reset();
    GLContext::releaseCurrent();
    return took;
}
