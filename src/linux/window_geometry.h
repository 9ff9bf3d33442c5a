#pragma once
#include <optional>
#include <string>

// An X geometry as -geometry gives it, "[=][W{x|X}H][{+|-}X{+|-}Y]" (the
// syntax of XParseGeometry): every part may be left out.
struct WindowGeometry {
    std::optional<unsigned> width;
    std::optional<unsigned> height;
    std::optional<int> x;  // from the left edge, or the right one with xFromRight
    std::optional<int> y;  // from the top edge, or the bottom one with yFromBottom
    bool xFromRight = false;
    bool yFromBottom = false;
};

// Nothing for text that is no geometry, for a zero size and for numbers
// beyond what X can place (32767).
std::optional<WindowGeometry> parseWindowGeometry(const std::string& text);

// Where a window of `geometry` goes on a screen of screenWidth by
// screenHeight: the size left out is the screen's, the place left out 0.
struct WindowPlace {
    int x;
    int y;
    unsigned width;
    unsigned height;
};
WindowPlace placeWindow(const WindowGeometry& geometry, unsigned screenWidth, unsigned screenHeight);
