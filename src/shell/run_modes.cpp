#include "shell/run_modes.h"

#include "settings/settings.h"
#include "shell/saver_shell.h"
#include "shell/win32_shell_platform.h"

namespace {

// Everything goes before the run's end is decided: a loader thread still
// running (after the loop, or from windows made before a failed start)
// ends the process there, and nothing is destroyed under it.
int endRun(SaverShell& shell, int status) { return shell.finishRun(status); }

}  // namespace

int runSaver(HINSTANCE instance, HWND parent) {
    theSettings.load();
    Win32ShellPlatform platform(instance);
    SaverShell shell(platform);
    shell.makeActive();
    if (auto status = shell.openSaverWindows(parent)) return endRun(shell, *status);
    return endRun(shell, shell.runMessageLoop(true));
}

int runWindowed(HINSTANCE instance) {
    theSettings.load();
    Win32ShellPlatform platform(instance);
    SaverShell shell(platform);
    shell.makeActive();
    if (auto status = shell.openWindowedWindow()) return endRun(shell, *status);
    return endRun(shell, shell.runMessageLoop(false));
}
