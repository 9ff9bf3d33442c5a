#include "shell/run_modes.h"

#include "platform/process_exit.h"
#include "settings/settings.h"
#include "shell/saver_shell.h"
#include "shell/win32_shell_platform.h"

int runSaver(HINSTANCE instance, HWND parent) {
    theSettings.load();
    Win32ShellPlatform platform(instance);
    SaverShell shell(platform);
    shell.makeActive();
    if (auto status = shell.openSaverWindows(parent)) {
        // Windows made before the failure may have started loaders.
        if (shell.leftThreadsBehind()) endProcessNow(*status);
        return *status;
    }
    const int status = shell.runMessageLoop(true);
    // A loader thread still runs: nothing may be destroyed under it.
    if (shell.leftThreadsBehind()) endProcessNow(status);
    return status;
}

int runWindowed(HINSTANCE instance) {
    theSettings.load();
    Win32ShellPlatform platform(instance);
    SaverShell shell(platform);
    shell.makeActive();
    if (auto status = shell.openWindowedWindow()) {
        // Windows made before the failure may have started loaders.
        if (shell.leftThreadsBehind()) endProcessNow(*status);
        return *status;
    }
    const int status = shell.runMessageLoop(false);
    if (shell.leftThreadsBehind()) endProcessNow(status);
    return status;
}
