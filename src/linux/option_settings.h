#pragma once
#include <string>
#include <vector>

#include "linux/launch_options.h"

// Fills theSettings from the settings file's entries and then the command
// line's (later ones win; folders given on the command line replace the
// file's). The values are stored as the Windows registry would hold them,
// in the key Settings::load reads (an in-memory one on Linux), and loaded
// from there, so a value that is no number, or no texture size offered,
// falls back to its default exactly as a bad registry value does. A number
// beyond its option's range (seconds 1 to 300, seconds-sigma 0 to 60, fade
// 0 to 30) is stored as the nearer end.
void applySettingEntries(const std::vector<SettingEntry>& fromFile,
                         const std::vector<SettingEntry>& fromCommandLine);

// The settings in effect, in the settings file's form.
std::string describeSettings();
