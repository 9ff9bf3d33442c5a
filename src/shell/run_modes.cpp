#include "shell/run_modes.h"

#include "settings/settings.h"
#include "shell/saver_shell.h"
#include "shell/win32_shell_platform.h"

int runSaver(HINSTANCE instance, HWND parent) {
    theSettings.load();
    Win32ShellPlatform platform(instance);
    SaverShell shell(platform);
    shell.makeActive();
    if (auto status = shell.openSaverWindows(parent)) return *status;
    return shell.runMessageLoop(true);
}

int runWindowed(HINSTANCE instance) {
    theSettings.load();
    Win32ShellPlatform platform(instance);
    SaverShell shell(platform);
    shell.makeActive();
    if (auto status = shell.openWindowedWindow()) return *status;
    return shell.runMessageLoop(false);
}
