#pragma once
#include <optional>
#include <string>
#include <vector>

#include "linux/window_geometry.h"

// Where the slideshow draws.
enum class DrawTarget {
    OwnWindow,  // a window of its own covering the screen (-window, the default)
    Root,       // the root window (-root)
    GivenWindow // a window made by someone else (-window-id, XSCREENSAVER_WINDOW)
};

// One setting from the command line or the settings file, by its option
// name ("dir", "seconds", "seconds-sigma", "fade", "texture", "pairs") and its text
// as given: whether the text is a usable value is decided where it is stored.
struct SettingEntry {
    std::string name;
    std::string value;
};

struct LaunchOptions {
    DrawTarget target = DrawTarget::OwnWindow;
    unsigned long windowId = 0;  // for GivenWindow
    std::vector<SettingEntry> settings;
    // The X server (-display), else DISPLAY's.
    std::optional<std::string> displayName;
    // Size and place of the program's own window (-geometry); the whole
    // screen without it.
    std::optional<WindowGeometry> geometry;
    bool showFrameRate = false;  // -fps: a frame-rate line every second
    bool showHelp = false;
    bool showSettings = false;  // print the settings in effect and end
    // Set when the command line cannot be used: what was wrong with it.
    std::optional<std::string> error;
};

// The option names a setting may have; everything else is no setting.
bool isSettingName(const std::string& name);

// A window id in decimal or, with 0x, in hexadecimal; nothing for any other
// text, for 0 and for ids beyond 32 bits (X ids have 29).
std::optional<unsigned long> parseWindowId(const std::string& text);

// Reads the command line (without the program name) the way XScreenSaver
// starts its programs: -root, -window, -window-id ID, the settings as
// "--name VALUE", "--name=VALUE" or "-name VALUE" (pairs as the switches
// --pairs and --no-pairs, giving "yes" and "no"), and --help; also the
// options every XScreenSaver hack takes: -display NAME, -geometry G, -fps
// (and -no-fps), -visual NAME and -install (accepted, without effect:
// the program draws with the visual of the window it is given). The
// environment's XSCREENSAVER_WINDOW (`saverWindow`, may be null) is the
// window to draw into unless -window-id or -window says otherwise; with
// -root too, since XScreenSaver passes -root and means its own window.
LaunchOptions parseLaunchOptions(const std::vector<std::string>& arguments,
                                 const char* saverWindow);

// The usage text printed for --help and after a bad command line.
const char* usageText();
