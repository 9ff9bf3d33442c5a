#include "display/pixel_format_choice.h"

int pixelFormatScore(const PixelFormatDescription& format) {
    if (!format.supportsOpenGL || !format.drawsToWindow || !format.doubleBuffered || !format.rgba)
        return 0;
    int score = format.colorBits + 2 * format.depthBits;
    // Deep colour costs memory bandwidth for nothing a photograph shows.
    if (format.colorBits > 16) score += (16 - format.colorBits) / 2;
    if (!format.generic)
        score += 2000;
    else if (format.genericAccelerated)
        score += 1000;
    return score;
}

int bestPixelFormat(std::span<const PixelFormatDescription> formats) {
    int best = 0;
    int bestScore = 0;
    for (std::size_t i = 0; i < formats.size(); ++i) {
        const int score = pixelFormatScore(formats[i]);
        if (score > bestScore) {
            bestScore = score;
            best = static_cast<int>(i) + 1;
        }
    }
    return best;
}

bool selectPixelFormat(WindowSurface& surface) {
    const int best = bestPixelFormat(surface.pixelFormats());
    if (best != 0 && surface.setPixelFormat(best)) return true;
    if (best == 0 && surface.setFallbackPixelFormat()) return true;
    // A window that already had a format keeps it; a context may still work.
    return surface.pixelFormat() != 0;
}
