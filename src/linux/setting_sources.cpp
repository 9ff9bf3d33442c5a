#include "linux/setting_sources.h"

#include "linux/picture_folders.h"
#include "linux/settings_file.h"

namespace {

bool namesFolder(const std::vector<SettingEntry>& entries) {
    for (const auto& entry : entries)
        if (entry.name == "dir") return true;
    return false;
}

}  // namespace

SettingSources gatherSettingSources(const std::vector<SettingEntry>& commandLine,
                                    const LaunchEnvironment& environment) {
    SettingSources sources;
    const char* home = environment.home;
    const bool underDaemon = environment.saverWindow && *environment.saverWindow;
    if (!underDaemon) {
        if (const auto path = settingsFilePath(environment.configHome, home))
            sources.fromFile = expandFolderEntries(readSettingsFile(*path, home), home);
    }
    sources.fromCommandLine = expandFolderEntries(commandLine, home);
    if (!namesFolder(sources.fromFile) && !namesFolder(sources.fromCommandLine)) {
        // As XScreenSaver's own picture hacks do.
        if (const auto folder = fallbackPictureFolder(home))
            sources.fromCommandLine.push_back({"dir", *folder});
    }
    return sources;
}
