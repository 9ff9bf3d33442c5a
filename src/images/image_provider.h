#pragma once
#include <memory>

#include "images/rgb_image.h"

// A source of pictures for the loader threads. The base version makes a
// random 256x256 checkerboard, the picture of last resort.
class ImageProvider {
public:
    // Never null; safe to call from any thread.
    virtual std::unique_ptr<RGBImage> nextImage();

protected:
    // Providers are always destroyed through their own concrete type.
    ~ImageProvider() = default;
};
