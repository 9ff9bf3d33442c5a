#include "shell/run_modes.h"

#include "platform/process_exit.h"
#include "settings/settings.h"
#include "shell/saver_shell.h"
#include "shell/win32_shell_platform.h"

namespace {

// A loader thread still runs (after the loop, or from windows made before a
// failed start): nothing may be destroyed under it.
int endRun(SaverShell& shell, int status) {
    if (shell.leftThreadsBehind()) endProcessNow(status);
    return status;
}

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
