#include "slides/slide_texture.h"

#include "platform/gl.h"
#include "slides/texel_row.h"
#include "slides/resample_image.h"
#include "slides/slide_reach.h"
#include "slides/texture_pool.h"

#include <algorithm>
#include <vector>

namespace {

// Null when memory ran short or `cancel` stopped the filter part way.
std::unique_ptr<RGBImage> resized(const RGBImage& image, int width, int height,
                                  const std::atomic<bool>* cancel, int threads = 1) {
    auto result = makeRGBImage(width, height);
    if (result && !resampleImage(image.width, image.height, image.pixels, width, height,
                                 result->pixels, cancel, threads))
        result.reset();
    return result;
}

// Reads and so clears every error flag of the current context; true when
// there was one. Bounded, as a context can hold only a few flags and
// without a current context the answer may never settle.
bool clearErrors() {
    bool any = false;
    for (int i = 0; i < 16 && glGetError() != GL_NO_ERROR; ++i) any = true;
    return any;
}

}  // namespace

SlideTexture::~SlideTexture() {
    if (name_ != 0) pool_->giveBack(name_);
}

void SlideTexture::upload(std::unique_ptr<RGBImage> image, TexturePool& pool) {
    if (prepare(std::move(image), pool)) uploadPrepared();
}

bool SlideTexture::prepare(std::unique_ptr<RGBImage> image, TexturePool& pool,
                           const std::atomic<bool>* cancel) {
    return prepare(std::move(image), pool, PictureNeed{}, cancel);
}

bool SlideTexture::prepare(std::unique_ptr<RGBImage> image, TexturePool& pool,
                           const PictureNeed& need, const std::atomic<bool>* cancel) {
    // A second upload must not lose the first name to the pool for good.
    if (name_ != 0) pool_->giveBack(name_);
    name_ = 0;
    valid_ = false;
    pool_ = &pool;
    prepared_.reset();
    if (!image || image->width <= 0 || image->height <= 0) return false;
    aspect_ = static_cast<float>(image->width) / static_cast<float>(image->height);

    const PictureSize shown = fittedSize(image->width, image->height, need);
    const int width = std::min(textureSide(image->width, shown.width), pool.width());
    const int height = std::min(textureSide(image->height, shown.height), pool.height());
    sMax_ = static_cast<float>(width) / static_cast<float>(pool.width());
    tMax_ = static_cast<float>(height) / static_cast<float>(pool.height());
    if (width != image->width || height != image->height) {
        image = resized(*image, width, height, cancel, sizingThreads_);
        if (!image) return false;
    }
    prepared_ = std::move(image);
    return true;
}

bool SlideTexture::cancelled() const {
    return cancel_ && cancel_->load(std::memory_order_relaxed);
}

void SlideTexture::uploadPrepared(const std::atomic<bool>* cancel) {
    if (!prepared_ || !pool_) return;
    std::unique_ptr<RGBImage> image = std::move(prepared_);
    int width = image->width;
    int height = image->height;
    cancel_ = cancel;

    // Errors left over from earlier work in this context are not this
    // upload's; drop them so that only its own failures count below.
    clearErrors();
    name_ = pool_->takeName();
    glBindTexture(GL_TEXTURE_2D, name_);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);

    std::vector<unsigned char> staging(kStagingBytes);
    bool whole = !cancelled();
    if (whole) uploadLevel(*image, 0, Staging(staging));
    // Each level is made from the one above it, never from the decoded
    // picture: whenever both sides halve this is the exact 2x2 average.
    for (int level = 1; whole && (width > 1 || height > 1); ++level) {
        width = std::max(width / 2, 1);
        height = std::max(height / 2, 1);
        image = resized(*image, width, height, cancel_);
        whole = image && !cancelled();
        if (whole) uploadLevel(*image, level, Staging(staging));
    }
    // The display never sees this context's errors, so they are judged here.
    const bool failed = clearErrors();
    valid_ = whole && !failed && !cancelled();
    cancel_ = nullptr;
    if (!valid_) {
        pool_->discard(name_);
        name_ = 0;
    }
}

void SlideTexture::uploadLevel(const RGBImage& image, int level, Staging staging) {
    glPixelStorei(GL_UNPACK_ROW_LENGTH, kBlockSide);
    const int levelWidth = pool_->width() >> level;
    const int levelHeight = pool_->height() >> level;
    // The two columns right of the picture and the two rows above it become
    // transparent wherever the level has room for them.
    const int regionWidth = std::min(levelWidth, image.width + 2);
    const int regionHeight = std::min(levelHeight, image.height + 2);

    for (int y0 = 0; y0 < regionHeight; y0 += kBlockSide) {
        const int rows = std::min(regionHeight - y0, kBlockSide);
        for (int x0 = 0; x0 < regionWidth; x0 += kBlockSide) {
            if (cancelled()) return;
            const int columns = std::min(regionWidth - x0, kBlockSide);
            for (int r = 0; r < rows; ++r) {
                unsigned char* out = staging.data() + static_cast<std::size_t>(r) * kBlockSide * 4;
                writeTexelRow(image, x0, y0 + r, columns, out);
            }
            glTexSubImage2D(GL_TEXTURE_2D, level, x0, y0, columns, rows, GL_RGBA,
                            GL_UNSIGNED_BYTE, staging.data());
        }
    }
}

void SlideTexture::drawQuad() const {
    if (!valid_) return;
    GLint viewport[4] = {0, 0, 0, 0};
    glGetIntegerv(GL_VIEWPORT, viewport);
    const float v = static_cast<float>(viewport[2]) / static_cast<float>(viewport[3]);
    const float a = aspect_;
    float left, right, bottom, top;
    if (a >= v) {
        left = -1.0f;
        right = 1.0f;
        bottom = -v / a;
        top = v / a;
    } else {
        left = -a / v;
        right = a / v;
        bottom = -1.0f;
        top = 1.0f;
    }
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, name_);
    glBegin(GL_QUADS);
    glTexCoord2f(0.0f, tMax_);
    glVertex3f(left, top, 0.0f);
    glTexCoord2f(0.0f, 0.0f);
    glVertex3f(left, bottom, 0.0f);
    glTexCoord2f(sMax_, 0.0f);
    glVertex3f(right, bottom, 0.0f);
    glTexCoord2f(sMax_, tMax_);
    glVertex3f(right, top, 0.0f);
    glEnd();
}
