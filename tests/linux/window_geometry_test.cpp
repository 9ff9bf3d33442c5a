#include "linux/window_geometry.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// "W H X Y" of the geometry placed on a 1000x800 screen, or "refused".
std::string placed(const char* text) {
    const auto geometry = parseWindowGeometry(text);
    if (!geometry) return "refused";
    const WindowPlace place = placeWindow(*geometry, 1000, 800);
    return std::to_string(place.width) + " " + std::to_string(place.height) + " " +
           std::to_string(place.x) + " " + std::to_string(place.y);
}

}  // namespace

TEST(WindowGeometry, ParsedAndPlacedAsXParseGeometryReadsThem) {
    struct Case {
        const char* text;
        const char* place;
    } cases[] = {
        {"640x480", "640 480 0 0"},
        {"640X480+10+20", "640 480 10 20"},
        {"=320x200-10-20", "320 200 670 580"},
        {"+5+6", "1000 800 5 6"},
        {"-0-0", "1000 800 0 0"},
        {"100x100+-5+-6", "100 100 -5 -6"},
        {"100x100--5-+6", "100 100 905 694"},
        {"1x1", "1 1 0 0"},
        {"32767x1", "32767 1 0 0"},
        {"", "refused"},
        {"=", "refused"},
        {"640", "refused"},
        {"640x", "refused"},
        {"x480", "refused"},
        {"0x480", "refused"},
        {"640x0", "refused"},
        {"32768x10", "refused"},
        {"640x480+10", "refused"},
        {"640x480+", "refused"},
        {"640x480+1+2+3", "refused"},
        {"640x480 ", "refused"},
        {"big", "refused"},
    };
    for (const auto& c : cases) EXPECT_EQ(placed(c.text), c.place) << c.text;
}
