#include "linux/option_settings.h"

#include "platform/registry_key.h"
#include "settings/settings.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <optional>

namespace {

// The registry values behind the numeric options, and the program's range
// of each: XScreenSaver's settings dialog offers exactly these (its sliders
// in glimmora.xml), so a value beyond them is taken as the nearer end.
struct FloatOption {
    const char* option;
    const char* valueName;
    float low;
    float high;
};
constexpr FloatOption kFloatOptions[] = {
    {"seconds", "secondsPerImage", 1.0f, 300.0f},
    {"seconds-sigma", "secondsPerImageSigma", 0.0f, 60.0f},
    {"fade", "fadeMean", 0.0f, 30.0f},
};

// A number read as the registry store reads it, within the option's range;
// any other text as it is, which then means the default.
std::string withinRange(const FloatOption& option, const std::string& text) {
    float number = 0.0f;
    if (std::sscanf(text.c_str(), " %g ", &number) != 1 || !std::isfinite(number)) return text;
    number = std::clamp(number, option.low, option.high);
    char clamped[32];
    std::snprintf(clamped, sizeof clamped, "%g", static_cast<double>(number));
    return clamped;
}

std::string directoryValueName(std::size_t number) {
    char name[32];
    std::snprintf(name, sizeof name, "Dir%03zu", number);
    return name;
}

void storeText(RegistryKey& key, const std::string& name, const std::string& text) {
    key.setValue(name, kRegistryString, text.c_str(), text.size() + 1);
}

void storeDword(RegistryKey& key, const char* name, std::uint32_t number) {
    const unsigned char bytes[4] = {static_cast<unsigned char>(number),
                                    static_cast<unsigned char>(number >> 8),
                                    static_cast<unsigned char>(number >> 16),
                                    static_cast<unsigned char>(number >> 24)};
    key.setValue(name, kRegistryDword, bytes, sizeof bytes);
}

// The texDim of a texture edge given in pixels; nothing for any other text,
// which leaves the default (the driver's maximum).
std::optional<std::uint32_t> textureChoice(const std::string& text) {
    char* end = nullptr;
    const long edge = std::strtol(text.c_str(), &end, 10);
    if (end == text.c_str()) return std::nullopt;
    while (*end == ' ' || *end == '\t') ++end;
    if (*end != '\0') return std::nullopt;
    for (std::size_t i = 0; i < std::size(textureSizeChoices); ++i)
        if (textureSizeChoices[i] == edge) return static_cast<std::uint32_t>(i);
    return std::nullopt;
}

// Yes or no in the words a settings file may use; nothing for any other
// text, which leaves the default (pairs on).
std::optional<std::uint32_t> switchValue(const std::string& text) {
    for (const char* yes : {"yes", "true", "on", "1"})
        if (text == yes) return 1;
    for (const char* no : {"no", "false", "off", "0"})
        if (text == no) return 0;
    return std::nullopt;
}

}  // namespace

void applySettingEntries(const std::vector<SettingEntry>& fromFile,
                         const std::vector<SettingEntry>& fromCommandLine) {
    auto key = RegistryKey::createForWrite(Settings::registryKey);
    // Only what the entries say counts, whatever an earlier call stored.
    if (key) {
        key->deleteValue("texDim");
        key->deleteValue("pairs");
        for (const FloatOption& option : kFloatOptions) key->deleteValue(option.valueName);
    }

    std::vector<std::string> directories;
    bool commandLineFolders = false;
    for (const auto& entry : fromCommandLine)
        if (entry.name == "dir") commandLineFolders = true;

    auto apply = [&](const SettingEntry& entry, bool fromCommand) {
        if (entry.name == "dir") {
            if (fromCommand == commandLineFolders && !entry.value.empty())
                directories.push_back(entry.value);
            return;
        }
        if (!key) return;
        if (entry.name == "texture") {
            if (const auto choice = textureChoice(entry.value)) storeDword(*key, "texDim", *choice);
            else key->deleteValue("texDim");
            return;
        }
        if (entry.name == "pairs") {
            if (const auto on = switchValue(entry.value)) storeDword(*key, "pairs", *on);
            else key->deleteValue("pairs");
            return;
        }
        for (const FloatOption& option : kFloatOptions)
            if (entry.name == option.option)
                storeText(*key, option.valueName, withinRange(option, entry.value));
    };
    for (const auto& entry : fromFile) apply(entry, false);
    for (const auto& entry : fromCommandLine) apply(entry, true);

    if (key) {
        storeDword(*key, "DirCount", static_cast<std::uint32_t>(directories.size()));
        for (std::size_t i = 0; i < directories.size(); ++i)
            storeText(*key, directoryValueName(i + 1), directories[i]);
    }
    key.reset();
    theSettings.directories.clear();
    theSettings.load();
}

std::string describeSettings() {
    std::string text;
    char line[64];
    for (const auto& directory : theSettings.directories) text += "dir = " + directory + "\n";
    std::snprintf(line, sizeof line, "seconds = %g\n",
                  static_cast<double>(theSettings.secondsPerImage.load(std::memory_order_relaxed)));
    text += line;
    std::snprintf(line, sizeof line, "seconds-sigma = %g\n",
                  static_cast<double>(theSettings.secondsPerImageSigma));
    text += line;
    std::snprintf(line, sizeof line, "fade = %g\n", static_cast<double>(theSettings.fadeMean));
    text += line;
    const int texDim = theSettings.texDim;
    const int edge = texDim >= 0 && texDim < static_cast<int>(std::size(textureSizeChoices))
                         ? textureSizeChoices[texDim]
                         : 0;
    std::snprintf(line, sizeof line, "texture = %d\n", edge);
    text += line;
    text += theSettings.pairs ? "pairs = yes\n" : "pairs = no\n";
    return text;
}
