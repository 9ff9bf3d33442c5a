#pragma once
#include <atomic>
#include <cstddef>
#include <memory>
#include <span>

#include "images/picture_need.h"
#include "images/rgb_image.h"

class TexturePool;

// One picture as a texture from a TexturePool: the picture sized to powers
// of two in the lower-left corner of the texture, with its own mipmap chain,
// soft alpha edges and a transparent margin. Gives its name back to the pool
// when destroyed; the texture itself lives on in the pool.
class SlideTexture {
public:
    // Texels of one upload block, and the bytes of the buffer that carries it.
    static constexpr int kBlockSide = 256;
    static constexpr std::size_t kStagingBytes =
        static_cast<std::size_t>(kBlockSide) * kBlockSide * 4;
    using Staging = std::span<unsigned char, kStagingBytes>;

    SlideTexture() = default;
    ~SlideTexture();
    SlideTexture(const SlideTexture&) = delete;
    SlideTexture& operator=(const SlideTexture&) = delete;

    // Takes a name from `pool` and writes every level of the picture's chain
    // into it, consuming `image`. Needs a current context of the pool's
    // sharing group; leaves the texture bound and the unpack alignment 1 and
    // row length 256. Whether it worked shows in valid(). prepare() and
    // uploadPrepared() in turn.
    void upload(std::unique_ptr<RGBImage> image, TexturePool& pool);
    // The part of upload() without OpenGL: sizes the picture to powers of
    // two that fit the pool and keeps it for uploadPrepared(). False when
    // there is nothing to upload (no picture, or too little memory), or when
    // `cancel` (when given) read true while the picture was being sized: the
    // filter looks at it between rows.
    bool prepare(std::unique_ptr<RGBImage> image, TexturePool& pool,
                 const std::atomic<bool>* cancel = nullptr);
    // The same for a picture that is never shown larger than `need` (see
    // PictureNeed): a picture larger than that gets, on each side, the
    // power of two nearest what it shows instead of the one nearest its own
    // size (see textureSide), and is resampled to it once.
    bool prepare(std::unique_ptr<RGBImage> image, TexturePool& pool, const PictureNeed& need,
                 const std::atomic<bool>* cancel = nullptr);
    // How many threads prepare() may size the picture with (see
    // resampleImage); 1 unless set.
    void setSizingThreads(int threads) { sizingThreads_ = threads; }
    // The OpenGL part: takes a name and writes the prepared picture's chain.
    // Once `cancel` (when given) reads true it stops before the next block
    // or the next row of a mipmap level being made, and the texture stays
    // invalid. A name whose upload failed or stopped
    // is deleted, never given back: its texture may be left without storage
    // or with a torn picture, and the pool makes a new one when it needs it.
    void uploadPrepared(const std::atomic<bool>* cancel = nullptr);
    // Writes mipmap `level` of the bound texture from a picture of that
    // level's size, in blocks of at most 256x256 texels through `staging`.
    void uploadLevel(const RGBImage& image, int level, Staging staging);
    // The picture as a rectangle fitted into the square from -1 to 1 at the
    // origin of the modelview matrix, shown in its own proportions on the
    // current viewport. Leaves texturing enabled. Draws nothing unless
    // valid(): an unwritten texture would show as a blank rectangle.
    void drawQuad() const;

    // True once upload() has written the picture's whole chain without an
    // OpenGL error in the uploading context. False before any upload, for
    // an empty picture, when memory for a level ran short and when the
    // driver refused the upload (out of memory, typically).
    bool valid() const { return valid_; }

    // Width over height of the picture as it was decoded.
    float aspect() const { return aspect_; }
    // Texture coordinates of the picture's right and top edges.
    float sMax() const { return sMax_; }
    float tMax() const { return tMax_; }
    // 0 until a picture has been uploaded.
    unsigned int name() const { return name_; }

private:
    bool cancelled() const;

    TexturePool* pool_ = nullptr;  // not owned
    std::unique_ptr<RGBImage> prepared_;         // sized by prepare(), until uploadPrepared()
    const std::atomic<bool>* cancel_ = nullptr;  // during uploadPrepared() only
    float aspect_ = 1.0f;
    float sMax_ = 0.0f;
    float tMax_ = 0.0f;
    unsigned int name_ = 0;
    int sizingThreads_ = 1;
    bool valid_ = false;
};
