#pragma once
#include <array>
#include <memory>
#include <string>
#include <vector>

#include "slides/slide_texture.h"

// One picture on screen, drifting in a straight line at constant velocity
// through the display's viewing volume. Held by one thread at a time: the
// loader that made it, then the display that draws it.
class Slide {
public:
    explicit Slide(std::unique_ptr<SlideTexture> texture = nullptr);

    // Draws a new path P0 -> P1 and duration from theSettings. A reverse
    // slide starts at P1 and travels to P0.
    void randomize(bool reverse);
    // Moves by dt seconds, then draws at the new position with the current
    // colour and blending; counts `remaining` down only when asked, so a
    // slide held on screen keeps drifting without falling further due.
    // Draws nothing when not valid(), but still moves and counts down.
    void draw(double dt, bool countDown);
    // True when the slide holds a picture that was uploaded whole. A slide
    // that is not valid is never to be shown; whoever gets one drops it.
    bool valid() const { return texture && texture->valid(); }

    std::array<double, 3> velocity{};  // scene units per second
    std::array<double, 3> position{};  // centre of the rectangle
    double remaining = 0.0;            // seconds until due; may go negative
    std::unique_ptr<SlideTexture> texture;  // may be null
    // Its picture's files, until the display tells the provider they are
    // on screen (then empty).
    std::vector<std::string> files;
};
