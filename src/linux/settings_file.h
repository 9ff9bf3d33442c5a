#pragma once
#include <optional>
#include <string>
#include <vector>

#include "linux/launch_options.h"

// The settings file's entries: one "name = value" a line, blanks around
// either side ignored; empty lines, lines starting with '#', lines without
// '=' and unknown names are skipped. A value that is "~" or starts with
// "~/" is taken relative to `home` when it is given.
std::vector<SettingEntry> parseSettingsFile(const std::string& text, const char* home);

// Where the file lives: $XDG_CONFIG_HOME/glimmora/glimmora.conf, or
// ~/.config/glimmora/glimmora.conf; nothing without either variable.
std::optional<std::string> settingsFilePath(const char* configHome, const char* home);

// The file's entries, none when it is absent or unreadable. A file larger
// than any settings file (1 MiB) is not read.
std::vector<SettingEntry> readSettingsFile(const std::string& path, const char* home);

// `text` without the blanks at either end; both setting files' lines are
// read through it.
std::string trimmed(const std::string& text);
