// Process entry: the platform starts the saver with one switch letter, and
// each switch is one run mode whose result is the exit status.
#include <windows.h>

#include <cstdint>

#include "settings/settings.h"
#include "shell/password_hooks.h"
#include "shell/run_modes.h"
#include "shell/switch_scan.h"

namespace {

int preview(HINSTANCE instance, std::uint32_t number) {
    HWND parent = reinterpret_cast<HWND>(static_cast<std::uintptr_t>(number));
    if (!IsWindow(parent)) return -1;
    return runSaver(instance, parent);
}

int runMode(HINSTANCE instance, const char* tail) {
    SwitchChoice choice = scanSwitch(tail);
    switch (choice.mode) {
    // An empty command line (a double-click on the file) opens the dialog
    // with no owner; the display settings' Settings button starts "/c", and
    // the dialog belongs to whatever window is in front.
    case RunMode::ConfigureUnowned: return theSettings.showDialog(nullptr);
    case RunMode::ConfigureOwned: return theSettings.showDialog(GetForegroundWindow());
    case RunMode::FullScreen: return runSaver(instance, nullptr);
    case RunMode::Preview: return preview(instance, choice.previewWindow);
    case RunMode::ChangePassword:
        // -1 whatever the platform's dialog did: there is nothing to report.
        changeScreenSaverPassword();
        return -1;
    case RunMode::Windowed: return runWindowed(instance);
    case RunMode::Invalid: break;
    }
    return -1;
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int) {
    try {
        return runMode(instance, commandLine);
    } catch (...) {
        // Out of memory while setting up: end quietly, as a saver should.
        return -1;
    }
}
