#include "linux/window_geometry.h"

#include <cstddef>

namespace {

constexpr long kLargest = 32767;

// Reads decimal digits at `at`, moving past them.
std::optional<long> readNumber(const std::string& text, std::size_t& at) {
    const std::size_t start = at;
    long number = 0;
    while (at < text.size() && text[at] >= '0' && text[at] <= '9') {
        number = number * 10 + (text[at] - '0');
        if (number > kLargest) return std::nullopt;
        ++at;
    }
    if (at == start) return std::nullopt;
    return number;
}

}  // namespace

std::optional<WindowGeometry> parseWindowGeometry(const std::string& text) {
    WindowGeometry geometry;
    std::size_t at = 0;
    if (at < text.size() && text[at] == '=') ++at;
    if (at < text.size() && text[at] >= '0' && text[at] <= '9') {
        const auto width = readNumber(text, at);
        if (!width || at >= text.size() || (text[at] != 'x' && text[at] != 'X')) return std::nullopt;
        ++at;
        const auto height = readNumber(text, at);
        if (!height || *width == 0 || *height == 0) return std::nullopt;
        geometry.width = static_cast<unsigned>(*width);
        geometry.height = static_cast<unsigned>(*height);
    }
    if (at < text.size()) {
        for (int axis = 0; axis < 2; ++axis) {
            if (at >= text.size() || (text[at] != '+' && text[at] != '-')) return std::nullopt;
            const bool fromFarEdge = text[at] == '-';
            ++at;
            // "+-5" is a negative offset from the near edge, as XParseGeometry reads it.
            bool negative = false;
            if (at < text.size() && (text[at] == '-' || text[at] == '+')) {
                negative = text[at] == '-';
                ++at;
            }
            const auto offset = readNumber(text, at);
            if (!offset) return std::nullopt;
            const int value = static_cast<int>(negative ? -*offset : *offset);
            if (axis == 0) {
                geometry.x = value;
                geometry.xFromRight = fromFarEdge;
            } else {
                geometry.y = value;
                geometry.yFromBottom = fromFarEdge;
            }
        }
    }
    if (at != text.size() || (!geometry.width && !geometry.x)) return std::nullopt;
    return geometry;
}

WindowPlace placeWindow(const WindowGeometry& geometry, unsigned screenWidth, unsigned screenHeight) {
    WindowPlace place{0, 0, geometry.width.value_or(screenWidth), geometry.height.value_or(screenHeight)};
    if (geometry.x) {
        place.x = geometry.xFromRight
                      ? static_cast<int>(screenWidth) - static_cast<int>(place.width) - *geometry.x
                      : *geometry.x;
    }
    if (geometry.y) {
        place.y = geometry.yFromBottom
                      ? static_cast<int>(screenHeight) - static_cast<int>(place.height) - *geometry.y
                      : *geometry.y;
    }
    return place;
}
