#include "settings/dialog_values.h"

#include <cmath>
#include <cstdio>

float secondsAtPosition(int position) {
    // Single-precision constants on purpose: 120 * 0.1f + 5.0f is exactly 17.
    return static_cast<float>(position) * 0.1f + 5.0f;
}

int positionForSeconds(float seconds) {
    if (std::isnan(seconds)) return positionForSeconds(17.0f);
    // Clamping before the conversion keeps huge values (1e30, infinity) from
    // overflowing the integer; the slider would clamp them the same way.
    const float raw = (seconds - 5.0f) * 10.0f + 0.5f;
    if (raw <= 0.0f) return 0;
    if (raw >= static_cast<float>(kSecondsSliderLast)) return kSecondsSliderLast;
    return static_cast<int>(raw);
}

std::string secondsText(float seconds) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", static_cast<double>(seconds));
    return text;
}

std::string textureChoiceText(std::int32_t edgeLength) {
    if (edgeLength == 0) return "Driver Maximum";
    char text[32];
    std::snprintf(text, sizeof text, "%dx%d", static_cast<int>(edgeLength),
                  static_cast<int>(edgeLength));
    return text;
}
