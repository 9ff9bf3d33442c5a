#pragma once
#include <memory>

#include "images/picture_need.h"
#include "images/rgb_image.h"

// A source of pictures for the loader threads. The base version makes a
// random 256x256 checkerboard, the picture of last resort.
class ImageProvider {
public:
    // Never null; safe to call from any thread. `need` is what the asking
    // loader's monitor can show: the picture may come smaller than its file,
    // but never smaller than fittedSize() says (a picture smaller than the
    // need comes at its own size).
    virtual std::unique_ptr<RGBImage> nextImage(const PictureNeed& need);
    // The picture at its full size.
    std::unique_ptr<RGBImage> nextImage() { return nextImage(PictureNeed{}); }
    // A display tells it that a picture made from `file` (one of an
    // RGBImage's files) is on screen; safe to call from any thread. The base
    // version keeps nothing.
    virtual void pictureShown(const std::string& file);

protected:
    // Providers are always destroyed through their own concrete type.
    ~ImageProvider() = default;
};
