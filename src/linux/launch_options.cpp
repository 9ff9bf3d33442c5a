#include "linux/launch_options.h"

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <iterator>

namespace {

constexpr const char* kSettingNames[] = {"dir",     "seconds", "seconds-sigma",
                                         "fade",    "texture", "pairs"};

// "-name" and "--name" are the same option; "--name=value" carries its value.
struct Spelling {
    std::string name;
    std::optional<std::string> value;
};

std::optional<Spelling> optionSpelling(const std::string& argument) {
    if (argument.size() < 2 || argument[0] != '-') return std::nullopt;
    std::string body = argument.substr(argument[1] == '-' ? 2 : 1);
    if (body.empty()) return std::nullopt;
    Spelling spelling;
    const auto equals = body.find('=');
    if (equals != std::string::npos) {
        spelling.value = body.substr(equals + 1);
        body.resize(equals);
    }
    spelling.name = body;
    return spelling;
}

}  // namespace

bool isSettingName(const std::string& name) {
    for (const char* known : kSettingNames)
        if (name == known) return true;
    return false;
}

std::optional<unsigned long> parseWindowId(const std::string& text) {
    std::string digits = text;
    int base = 10;
    if (digits.size() > 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X')) {
        digits = digits.substr(2);
        base = 16;
    }
    if (digits.empty()) return std::nullopt;
    for (char c : digits) {
        const bool digit = base == 16 ? std::isxdigit(static_cast<unsigned char>(c)) != 0
                                      : (c >= '0' && c <= '9');
        if (!digit) return std::nullopt;
    }
    errno = 0;
    char* end = nullptr;
    const unsigned long long id = std::strtoull(digits.c_str(), &end, base);
    if (errno != 0 || *end != '\0' || id == 0 || id > 0xFFFFFFFFull) return std::nullopt;
    return static_cast<unsigned long>(id);
}

LaunchOptions parseLaunchOptions(const std::vector<std::string>& arguments,
                                 const char* saverWindow) {
    LaunchOptions options;
    bool root = false;
    bool ownWindow = false;
    std::optional<unsigned long> givenWindow;
    auto fail = [&options](std::string what) {
        if (!options.error) options.error = std::move(what);
    };

    for (std::size_t i = 0; i < arguments.size() && !options.error; ++i) {
        const std::string& argument = arguments[i];
        const auto spelling = optionSpelling(argument);
        if (!spelling) {
            fail("unexpected argument \"" + argument + "\"");
            break;
        }
        const std::string& name = spelling->name;
        // The value of an option that takes one: after '=' or the next argument.
        auto takeValue = [&]() -> std::optional<std::string> {
            if (spelling->value) return spelling->value;
            if (i + 1 >= arguments.size()) {
                fail("option \"" + argument + "\" needs a value");
                return std::nullopt;
            }
            return arguments[++i];
        };
        auto noValue = [&]() {
            if (spelling->value) fail("option \"-" + name + "\" takes no value");
        };

        if (name == "root") {
            noValue();
            root = true;
        } else if (name == "window") {
            noValue();
            ownWindow = true;
        } else if (name == "window-id") {
            if (const auto text = takeValue()) {
                givenWindow = parseWindowId(*text);
                if (!givenWindow) fail("\"" + *text + "\" is no window id");
            }
        } else if (name == "display") {
            if (const auto text = takeValue()) options.displayName = *text;
        } else if (name == "geometry") {
            if (const auto text = takeValue()) {
                options.geometry = parseWindowGeometry(*text);
                if (!options.geometry) fail("\"" + *text + "\" is no geometry");
            }
        } else if (name == "fps" || name == "no-fps") {
            noValue();
            options.showFrameRate = name == "fps";
        } else if (name == "visual") {
            takeValue();
        } else if (name == "install" || name == "no-install") {
            noValue();
        } else if (name == "h" || name == "help") {
            noValue();
            options.showHelp = true;
        } else if (name == "show-settings") {
            noValue();
            options.showSettings = true;
        } else if (name == "pairs" && !spelling->value) {
            // A switch on the command line; "--pairs=no" and the file's
            // "pairs = no" carry a value like the other settings.
            options.settings.push_back({name, "yes"});
        } else if (name == "no-pairs") {
            noValue();
            options.settings.push_back({"pairs", "no"});
        } else if (isSettingName(name)) {
            if (const auto value = takeValue()) options.settings.push_back({name, *value});
        } else {
            fail("unknown option \"" + argument + "\"");
        }
    }

    if (givenWindow) {
        options.target = DrawTarget::GivenWindow;
        options.windowId = *givenWindow;
    } else if (ownWindow) {
        options.target = DrawTarget::OwnWindow;
    } else if (const auto fromSaver =
                   saverWindow && *saverWindow ? parseWindowId(saverWindow) : std::nullopt) {
        // XScreenSaver names its window here; drawing on the real root
        // would go unseen behind it.
        options.target = DrawTarget::GivenWindow;
        options.windowId = *fromSaver;
    } else if (root) {
        options.target = DrawTarget::Root;
    }
    return options;
}

const char* usageText() {
    return "usage: glimmora [-root | -window | -window-id ID] [options]\n"
           "  -root              draw on the root window\n"
           "  -window            draw in a window of its own (the default)\n"
           "  -window-id ID      draw into window ID (decimal or 0x hexadecimal)\n"
           "  -display NAME      the X server to draw on (default: DISPLAY)\n"
           "  -geometry WxH+X+Y  size and place of the own window (-window)\n"
           "  -fps               print the frame rate every second\n"
           "  -visual V, -install  accepted; the window's own visual is used\n"
           "  --dir PATH         picture folders, with their subfolders (repeatable;\n"
           "                     several may be joined with ':'; a leading ~ is HOME)\n"
           "  --seconds N        mean seconds each picture stays, 1 to 300 (default 17)\n"
           "  --seconds-sigma N  their standard deviation, 0 to 60 (default 1)\n"
           "  --fade N           mean seconds of the cross-fade, 0 to 30 (default 3)\n"
           "  --texture N        largest texture edge: 2048, 1024, 512, 256, or 0 for\n"
           "                     the driver's maximum (the default)\n"
           "  --pairs            portrait pictures side by side on a landscape screen,\n"
           "                     landscape ones stacked on a portrait screen (the default)\n"
           "  --no-pairs         every picture alone\n"
           "  --show-settings    print the settings in effect and end\n"
           "  --help             print this text and end\n"
           "Options may be written with one dash (-seconds 10) or as --name=VALUE.\n"
           "The same names set the defaults in ~/.config/glimmora/glimmora.conf, one\n"
           "\"name = value\" a line; it is not read under a screen saver daemon\n"
           "(XSCREENSAVER_WINDOW set, naming the window to draw into). Without any\n"
           "folder, imageDirectory of ~/.xscreensaver is shown, else ~/Pictures.\n";
}
