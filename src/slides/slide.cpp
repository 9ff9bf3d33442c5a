#include "slides/slide.h"

#include "display/random.h"
#include "display/single_precision.h"
#include "platform/gl.h"
#include "settings/settings.h"

#include <cmath>

Slide::Slide(std::unique_ptr<SlideTexture> texture) : texture(std::move(texture)) {}

void Slide::randomize(bool reverse) {
    const Settings& s = theSettings;
    const float x0 = singlePrecision(gaussian(s.x0Mean, s.x0Sigma));
    const float y0 = singlePrecision(gaussian(s.y0Mean, s.y0Sigma));
    const float z0 = singlePrecision(gaussian(s.z0Mean, s.z0Sigma));
    const float x1 = singlePrecision(gaussian(s.x1Mean, s.x1Sigma));
    const float y1 = singlePrecision(gaussian(s.y1Mean, s.y1Sigma));
    const float z1 = singlePrecision(gaussian(s.z1Mean, s.z1Sigma));
    const double seconds = gaussian(s.secondsPerImage.load(std::memory_order_relaxed),
                                    s.secondsPerImageSigma);

    const std::array<double, 3> start = {x0, y0, z0};
    const std::array<double, 3> end = {x1, y1, z1};
    position = reverse ? end : start;
    if (!(seconds > 0.0)) {
        // A duration of zero, below zero or not a number has no velocity to
        // speak of: the slide stays where it starts and is due at once.
        velocity = {0.0, 0.0, 0.0};
        remaining = std::isnan(seconds) ? 0.0 : seconds;
        return;
    }
    remaining = seconds;
    const double k = 1.0 / seconds;
    const double direction = reverse ? -1.0 : 1.0;
    velocity = {direction * ((x1 - x0) * k), direction * ((y1 - y0) * k),
                direction * ((z1 - z0) * k)};
}

void Slide::draw(double dt, bool countDown) {
    for (int axis = 0; axis < 3; ++axis) position[axis] += dt * velocity[axis];
    glPushMatrix();
    glTranslatef(static_cast<float>(position[0]), static_cast<float>(position[1]),
                 static_cast<float>(position[2]));
    if (valid()) texture->drawQuad();
    glPopMatrix();
    if (countDown) remaining -= dt;
}
