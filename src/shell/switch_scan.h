#pragma once
#include <cstdint>

// The mode a command-line tail asks for. Scanning starts nothing, so the
// whole table of tails can be checked without opening a window.
enum class RunMode {
    ConfigureUnowned,  // empty tail: the configuration dialog with no owner
    ConfigureOwned,    // c: the dialog owned by the foreground window
    FullScreen,        // s
    Preview,           // p and a non-zero number
    ChangePassword,    // a
    Windowed,          // w
    Invalid,           // anything else, and p without a usable number
};

struct SwitchChoice {
    RunMode mode = RunMode::Invalid;
    // The preview pane's window number; 0 unless mode is Preview. It is not
    // yet known to be a live window.
    std::uint32_t previewWindow = 0;
};

// Reads the tail after the program's path: blanks, '-' and '/' are skipped,
// and the first other character decides the mode (letters in either case).
// The rest is not read except for the preview's decimal number, which may
// follow the 'p' after blanks and wraps at 32 bits as the platform's own
// savers read it. A null tail counts as empty.
SwitchChoice scanSwitch(const char* tail);
