#include "shell/saver_shell.h"

namespace {

SaverShell* activeShell = nullptr;

}  // namespace

SaverShell::SaverShell(ShellPlatform& platform) : platform_(platform) {}

SaverShell::~SaverShell() {
    tearDownDisplays();
    if (activeShell == this) activeShell = nullptr;
}

SaverShell* SaverShell::active() { return activeShell; }

void SaverShell::makeActive() { activeShell = this; }

void SaverShell::setDisplayOff(bool off) {
    if (off == displayOff_) return;
    displayOff_ = off;
    for (auto& entry : displayList_) entry.display->pauseLoader(off);
}

void SaverShell::renderAllDisplays() {
    for (auto& entry : displayList_) entry.display->renderFrame();
}

int SaverShell::runMessageLoop(bool sleepWhenPowerSaving) {
    MSG msg;
    for (;;) {
        if (PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE)) {
            BOOL got = GetMessageA(&msg, nullptr, 0, 0);
            if (got == 0) return static_cast<int>(msg.wParam);
            if (got == -1) return -1;
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
            continue;
        }
        if (displayList_.empty() || displayOff_) {
            // Nothing to draw (every Display is gone, none could be made, or
            // the monitor is off): wait instead of spinning.
            WaitMessage();
            continue;
        }
        if (sleepWhenPowerSaving && monitorPowerSaving_) Sleep(1);
        renderAllDisplays();
    }
}
