#pragma once
#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <vector>

// The saver's own state between runs: a folder of the user's
// (%LOCALAPPDATA%\Glimmora on Windows, $XDG_STATE_HOME/glimmora or
// ~/.local/state/glimmora on Linux) and whole files in it, replaced so that
// a reader never sees half of one.

// The state folder, made when missing; nothing when the system names none
// or it cannot be made.
std::optional<std::string> stateDirectory();

// `name` inside `directory`, with the platform's separator.
std::string stateFilePath(const std::string& directory, const char* name);

enum class StateRead {
    Read,     // `bytes` holds the whole file
    Missing,  // there is no such file
    Failed,   // it exists but could not be read, or is longer than maxBytes
};
StateRead readStateFile(const std::string& path, std::size_t maxBytes,
                        std::vector<unsigned char>& bytes);

// Writes `bytes` to a temporary file beside `path` (a name of its own per
// process and call, so that writers never share one), flushes it to the
// disk and renames it over `path`. A crash at any point leaves either the
// old file or the new one. False, with `path` untouched, on any failure.
bool replaceStateFile(const std::string& path, std::span<const unsigned char> bytes);

// Removes what writers that died between writing and renaming left beside
// `path`: its temporary files, once older than `seconds` (a live writer's
// is milliseconds old). Whatever cannot be removed stays.
void removeStaleTemporaries(const std::string& path, int seconds);
