#include "images/image_provider.h"

#include <chrono>
#include <new>
#include <thread>

#include "display/random.h"

namespace {

constexpr int kBoardSize = 256;
constexpr int kSquareBit = 16;  // squares of 16 x 16 pixels

struct Colour {
    unsigned char r, g, b;
};

Colour drawColour() {
    Colour c;
    c.r = static_cast<unsigned char>(randomValue() & 0xFF);
    c.g = static_cast<unsigned char>(randomValue() & 0xFF);
    c.b = static_cast<unsigned char>(randomValue() & 0xFF);
    return c;
}

Colour complement(Colour c) {
    return {static_cast<unsigned char>(255 - c.r), static_cast<unsigned char>(255 - c.g),
            static_cast<unsigned char>(255 - c.b)};
}

void fill(RGBImage& image, Colour a, Colour b) {
    for (int i = 0; i < image.height; ++i) {
        unsigned char* p = image.row(i);
        for (int j = 0; j < image.width; ++j) {
            const Colour c = ((j & kSquareBit) == (i & kSquareBit)) ? b : a;
            *p++ = c.r;
            *p++ = c.g;
            *p++ = c.b;
        }
    }
}

std::unique_ptr<RGBImage> tryMake(int size) {
    try {
        return makeRGBImage(size, size);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

}  // namespace

// When memory is so short that the 192 KiB board cannot be had, a single
// pixel of the board's first colour stands in (the texture code stretches it
// to a flat picture). Should even that fail, the loader thread has nothing
// better to do than wait for the other threads to give memory back, since a
// null picture is not an option for the caller.
std::unique_ptr<RGBImage> ImageProvider::nextImage(const PictureNeed&) {
    const Colour a = drawColour();
    const Colour b = complement(a);
    for (;;) {
        if (auto board = tryMake(kBoardSize)) {
            fill(*board, a, b);
            return board;
        }
        if (auto pixel = tryMake(1)) {
            fill(*pixel, a, b);
            return pixel;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

void ImageProvider::pictureShown(const std::string&) {}
