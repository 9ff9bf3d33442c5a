#include "images/image_provider.h"

// Placeholder until the checkerboard lands.
std::unique_ptr<RGBImage> ImageProvider::nextImage() { return makeRGBImage(256, 256); }
