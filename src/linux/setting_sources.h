#pragma once
#include <vector>

#include "linux/launch_options.h"

// What the program's settings come from: the command line, the settings
// file and, when neither names a folder, XScreenSaver's picture setting.
struct LaunchEnvironment {
    const char* home = nullptr;         // HOME
    const char* configHome = nullptr;   // XDG_CONFIG_HOME
    const char* saverWindow = nullptr;  // XSCREENSAVER_WINDOW
};

struct SettingSources {
    std::vector<SettingEntry> fromFile;
    std::vector<SettingEntry> fromCommandLine;
};

// The entries for applySettingEntries, folders split and ~ expanded.
//
// Under a screen saver daemon, which names its window in
// XSCREENSAVER_WINDOW, the command line is the whole truth and the file is
// not read: XScreenSaver's settings dialog writes that command line, leaves
// out whatever stands at its default and shows the default for it, so a
// value from the file would run while the dialog showed another. Elsewhere
// the file gives the defaults and the command line wins. With no folder
// from either, the folder of fallbackPictureFolder is added to the
// command line's entries.
SettingSources gatherSettingSources(const std::vector<SettingEntry>& commandLine,
                                    const LaunchEnvironment& environment);
