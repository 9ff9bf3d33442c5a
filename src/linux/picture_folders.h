#pragma once
#include <optional>
#include <string>
#include <vector>

#include "linux/launch_options.h"

// Where the pictures come from when the settings name folders loosely or
// not at all: a leading ~ (the daemon runs commands without a shell, so
// nothing else expands it), several folders joined with colons, and
// XScreenSaver's own picture setting when no folder is given anywhere.

// `path` with a leading "~" or "~/" taken as `home`; any other path, or a
// missing home, leaves it as it is ("~user" is not expanded).
std::string expandHome(const std::string& path, const char* home);

// The entries with every "dir" value split at its colons into one entry per
// folder, each with its ~ expanded; empty pieces are dropped. Other entries
// stay as they are.
std::vector<SettingEntry> expandFolderEntries(const std::vector<SettingEntry>& entries,
                                              const char* home);

// The imageDirectory setting of a ~/.xscreensaver file's text, ~ expanded;
// nothing when it is missing, empty or a web address (XScreenSaver also
// takes feeds there, which this program does not read).
std::optional<std::string> xscreensaverImageDirectory(const std::string& text, const char* home);

// The folder to show when no folder is given: imageDirectory of
// HOME/.xscreensaver, else HOME/Pictures; nothing without a home.
std::optional<std::string> fallbackPictureFolder(const char* home);
