#include "linux/settings_file.h"

#include "linux/picture_folders.h"
#include "platform/debug_output.h"

#include <fstream>
#include <sstream>

namespace {

constexpr std::streamsize kLargestFile = 1 << 20;

}  // namespace

std::string trimmed(const std::string& text) {
    const char* blanks = " \t\r\n\f\v";
    const auto first = text.find_first_not_of(blanks);
    if (first == std::string::npos) return {};
    const auto last = text.find_last_not_of(blanks);
    return text.substr(first, last - first + 1);
}

std::vector<SettingEntry> parseSettingsFile(const std::string& text, const char* home) {
    std::vector<SettingEntry> entries;
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        const std::string content = trimmed(line);
        if (content.empty() || content[0] == '#') continue;
        const auto equals = content.find('=');
        if (equals == std::string::npos) continue;
        SettingEntry entry{trimmed(content.substr(0, equals)), trimmed(content.substr(equals + 1))};
        if (!isSettingName(entry.name)) {
            debugOutput(("glimmora: unknown setting \"" + entry.name + "\" ignored\n").c_str());
            continue;
        }
        entry.value = expandHome(entry.value, home);
        entries.push_back(std::move(entry));
    }
    return entries;
}

std::optional<std::string> settingsFilePath(const char* configHome, const char* home) {
    // XDG's rule: a relative XDG_CONFIG_HOME is to be ignored.
    if (configHome && configHome[0] == '/') return std::string(configHome) + "/glimmora/glimmora.conf";
    if (home && *home) return std::string(home) + "/.config/glimmora/glimmora.conf";
    return std::nullopt;
}

std::vector<SettingEntry> readSettingsFile(const std::string& path, const char* home) {
    std::ifstream file(path, std::ios::binary);
    if (!file) return {};
    std::string text(static_cast<std::size_t>(kLargestFile) + 1, '\0');
    file.read(text.data(), kLargestFile + 1);
    const std::streamsize got = file.gcount();
    if (got > kLargestFile) {
        debugOutput("glimmora: settings file too large, ignored\n");
        return {};
    }
    text.resize(static_cast<std::size_t>(got));
    return parseSettingsFile(text, home);
}
