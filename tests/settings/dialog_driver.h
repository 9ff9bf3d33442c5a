// Works the real configuration dialog the way a user would: windows are
// found by caption and owning process, controls are worked through the
// messages their own input produces (keys to the slider and the list, clicks
// on the buttons, a real HDROP on the list).
#pragma once
#include "settings/settings.h"

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace dialog_driver {

inline constexpr const char* settingsCaption = "Glimmora by Quillon";
inline constexpr const char* aboutCaption = "About Glimmora";

// A visible top-level dialog of `processId` with `caption` (any caption when
// null) and, when given, that owner. Waits up to 30 seconds; null if none.
HWND waitForDialog(const char* caption, DWORD processId = GetCurrentProcessId(),
                   HWND owner = nullptr);
// Waits up to 30 seconds for `window` to be destroyed.
bool waitUntilGone(HWND window);

std::string text(HWND window);
std::string className(HWND window);
std::vector<std::string> listEntries(HWND list);
std::string comboSelection(HWND combo);

// A click on a button that neither opens nor closes a dialog; returns when
// the dialog has handled it.
void click(HWND dialog, int id);
// A click whose handling runs a modal loop or ends the dialog; returns at
// once.
void clickLater(HWND dialog, int id);
// A key pressed on a control (arrows and Home/End on the slider, Delete on
// the list).
void press(HWND control, WPARAM virtualKey, int times = 1);
// Files dropped on the list, as the shell delivers them.
void drop(HWND list, const std::vector<std::string>& paths);

// Runs showDialog(nullptr) on `record` on this thread while `script` works
// the dialog from another; returns showDialog's result. A script that leaves
// the dialog open fails the test, and the dialog is cancelled.
int runDialog(Settings& record, const std::function<void(HWND dialog)>& script);

// A child process that is killed (and waited for) when the object goes, so
// a failing test never leaves it running.
class ChildProcess {
public:
    explicit ChildProcess(const std::string& commandLine);
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    bool started() const { return info_.hProcess != nullptr; }
    DWORD id() const { return info_.dwProcessId; }
    // The exit status, or STILL_ACTIVE when it does not end within 30 s.
    // Messages sent to this thread are answered meanwhile.
    DWORD waitForExit();

private:
    PROCESS_INFORMATION info_{};
};

// A window of this process in front, standing in for the display settings
// that start "/c"; the waits above keep answering its messages.
class FrontWindow {
public:
    FrontWindow();
    ~FrontWindow();
    FrontWindow(const FrontWindow&) = delete;
    FrontWindow& operator=(const FrontWindow&) = delete;

    HWND get() const { return window_; }

private:
    HWND window_;
};

}  // namespace dialog_driver
