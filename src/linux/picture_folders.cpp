#include "linux/picture_folders.h"

#include "linux/settings_file.h"

#include <fstream>
#include <sstream>

namespace {

// A ~/.xscreensaver of any real size is far below this.
constexpr std::streamsize kLargestXScreenSaverFile = 1 << 20;

bool isWebAddress(const std::string& text) {
    return text.find("://") != std::string::npos;
}

}  // namespace

std::string expandHome(const std::string& path, const char* home) {
    if (!home || !*home || path.empty() || path[0] != '~') return path;
    if (path.size() == 1) return home;
    if (path[1] != '/') return path;
    return std::string(home) + path.substr(1);
}

std::vector<SettingEntry> expandFolderEntries(const std::vector<SettingEntry>& entries,
                                              const char* home) {
    std::vector<SettingEntry> expanded;
    for (const auto& entry : entries) {
        if (entry.name != "dir") {
            expanded.push_back(entry);
            continue;
        }
        std::size_t start = 0;
        while (start <= entry.value.size()) {
            auto end = entry.value.find(':', start);
            if (end == std::string::npos) end = entry.value.size();
            const std::string piece = entry.value.substr(start, end - start);
            if (!piece.empty()) expanded.push_back({"dir", expandHome(piece, home)});
            start = end + 1;
        }
    }
    return expanded;
}

std::optional<std::string> xscreensaverImageDirectory(const std::string& text, const char* home) {
    static constexpr char kName[] = "imageDirectory:";
    std::istringstream lines(text);
    std::string line;
    std::optional<std::string> found;
    while (std::getline(lines, line)) {
        if (line.rfind(kName, 0) != 0) continue;
        // The last one counts, as it does for an X resource file.
        found = trimmed(line.substr(sizeof kName - 1));
    }
    if (!found || found->empty() || isWebAddress(*found)) return std::nullopt;
    return expandHome(*found, home);
}

std::optional<std::string> fallbackPictureFolder(const char* home) {
    if (!home || !*home) return std::nullopt;
    std::ifstream file(std::string(home) + "/.xscreensaver", std::ios::binary);
    if (file) {
        std::string text(static_cast<std::size_t>(kLargestXScreenSaverFile), '\0');
        file.read(text.data(), kLargestXScreenSaverFile);
        text.resize(static_cast<std::size_t>(file.gcount()));
        if (const auto folder = xscreensaverImageDirectory(text, home)) return folder;
    }
    return std::string(home) + "/Pictures";
}
