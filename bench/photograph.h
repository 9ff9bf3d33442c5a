#pragma once
// Photograph-like content for the benchmarks: broad smooth gradients, some
// mid-frequency structure and sensor-like noise, so that the decoder does
// realistic work. fx and fy set the gradients' frequencies, seed the noise.
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <random>
#include <vector>

inline std::vector<unsigned char> photographPixels(int width, int height, float fx, float fy,
                                                   unsigned seed) {
    std::vector<float> wx(width), wy(height);
    for (int x = 0; x < width; ++x) wx[x] = std::sin(x * fx) + 0.3f * std::sin(x * 0.037f);
    for (int y = 0; y < height; ++y) wy[y] = std::cos(y * fy) + 0.3f * std::sin(y * 0.051f);
    std::mt19937 random(seed);
    std::vector<unsigned char> pixels(static_cast<std::size_t>(width) * height * 3);
    unsigned char* p = pixels.data();
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const float base = 128.0f + 50.0f * wx[x] + 45.0f * wy[y];
            const unsigned noise = random();
            const float mix = static_cast<float>(x) / width;
            const float channels[3] = {base + 30.0f * mix, base * 0.9f + 20.0f * wy[y],
                                       base * (1.1f - mix * 0.4f)};
            for (int k = 0; k < 3; ++k) {
                const int n = static_cast<int>((noise >> (8 * k)) & 15) - 8;
                *p++ = static_cast<unsigned char>(std::clamp(channels[k] + n, 0.0f, 255.0f));
            }
        }
    return pixels;
}
