#include "dialog_driver.h"

#include "settings/settings.h"

#include <gtest/gtest.h>
#include <shlobj.h>

#include <cstring>
#include <thread>

namespace dialog_driver {

namespace {

constexpr DWORD patienceMs = 30000;
constexpr DWORD pollMs = 50;

struct Search {
    const char* caption;
    DWORD processId;
    HWND owner;
    HWND found;
};

BOOL CALLBACK matchWindow(HWND window, LPARAM data) {
    auto& search = *reinterpret_cast<Search*>(data);
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    if (processId != search.processId || !IsWindowVisible(window)) return TRUE;
    if (className(window) != "#32770") return TRUE;
    if (search.caption && text(window) != search.caption) return TRUE;
    if (search.owner && GetWindow(window, GW_OWNER) != search.owner) return TRUE;
    search.found = window;
    return FALSE;
}

// Waits up to `ms`, handling whatever reaches this thread meanwhile: a
// child's dialog sends to its owner, which may be a window of ours, and
// would hang until the owner's thread answers.
void pump(DWORD ms) {
    MsgWaitForMultipleObjects(0, nullptr, FALSE, ms, QS_ALLINPUT);
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

}  // namespace

HWND waitForDialog(const char* caption, DWORD processId, HWND owner) {
    for (DWORD waited = 0; waited < patienceMs; waited += pollMs) {
        Search search{caption, processId, owner, nullptr};
        EnumWindows(matchWindow, reinterpret_cast<LPARAM>(&search));
        if (search.found) return search.found;
        pump(pollMs);
    }
    return nullptr;
}

bool waitUntilGone(HWND window) {
    for (DWORD waited = 0; waited < patienceMs; waited += pollMs) {
        if (!IsWindow(window)) return true;
        pump(pollMs);
    }
    return false;
}

std::string text(HWND window) {
    const int length = GetWindowTextLengthA(window);
    std::string result(static_cast<std::size_t>(length) + 1, '\0');
    result.resize(static_cast<std::size_t>(GetWindowTextA(window, result.data(), length + 1)));
    return result;
}

std::string className(HWND window) {
    char name[256] = {};
    GetClassNameA(window, name, sizeof name);
    return name;
}

std::vector<std::string> listEntries(HWND list) {
    std::vector<std::string> entries;
    const LRESULT count = SendMessageA(list, LB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; ++i) {
        std::string entry(static_cast<std::size_t>(SendMessageA(list, LB_GETTEXTLEN, i, 0)) + 1, '\0');
        entry.resize(static_cast<std::size_t>(
            SendMessageA(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(entry.data()))));
        entries.push_back(entry);
    }
    return entries;
}

std::string comboSelection(HWND combo) {
    const LRESULT index = SendMessageA(combo, CB_GETCURSEL, 0, 0);
    if (index == CB_ERR) return {};
    std::string entry(static_cast<std::size_t>(SendMessageA(combo, CB_GETLBTEXTLEN, index, 0)) + 1, '\0');
    entry.resize(static_cast<std::size_t>(
        SendMessageA(combo, CB_GETLBTEXT, index, reinterpret_cast<LPARAM>(entry.data()))));
    return entry;
}

void click(HWND dialog, int id) {
    SendMessageA(GetDlgItem(dialog, id), BM_CLICK, 0, 0);
}

void clickLater(HWND dialog, int id) {
    PostMessageA(GetDlgItem(dialog, id), BM_CLICK, 0, 0);
}

void press(HWND control, WPARAM virtualKey, int times) {
    for (int i = 0; i < times; ++i) {
        SendMessageA(control, WM_KEYDOWN, virtualKey, 1);
        SendMessageA(control, WM_KEYUP, virtualKey, 0xC0000001);
    }
}

void drop(HWND list, const std::vector<std::string>& paths) {
    // DROPFILES, then the paths one after another, then an empty one.
    std::size_t bytes = sizeof(DROPFILES) + 1;
    for (const std::string& path : paths) bytes += path.size() + 1;
    HGLOBAL memory = GlobalAlloc(GHND, bytes);
    auto* header = static_cast<DROPFILES*>(GlobalLock(memory));
    header->pFiles = sizeof(DROPFILES);
    header->fWide = FALSE;
    char* next = reinterpret_cast<char*>(header) + sizeof(DROPFILES);
    for (const std::string& path : paths) {
        std::memcpy(next, path.c_str(), path.size() + 1);
        next += path.size() + 1;
    }
    GlobalUnlock(memory);
    // The receiver releases the handle with DragFinish.
    SendMessageA(list, WM_DROPFILES, reinterpret_cast<WPARAM>(memory), 0);
}

int runDialog(Settings& record, const std::function<void(HWND dialog)>& script) {
    std::thread user([&] {
        HWND dialog = waitForDialog(settingsCaption);
        if (!dialog) {
            ADD_FAILURE() << "the configuration dialog did not appear";
            return;
        }
        script(dialog);
        if (!waitUntilGone(dialog)) {
            ADD_FAILURE() << "the script left the dialog open";
            PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
        }
    });
    const int result = record.showDialog(nullptr);
    user.join();
    return result;
}

ChildProcess::ChildProcess(const std::string& commandLine) {
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    std::string line = commandLine;
    if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &info_)) {
        info_ = {};
    }
}

ChildProcess::~ChildProcess() {
    if (!info_.hProcess) return;
    if (WaitForSingleObject(info_.hProcess, 0) == WAIT_TIMEOUT) {
        TerminateProcess(info_.hProcess, 99);
        WaitForSingleObject(info_.hProcess, patienceMs);
    }
    CloseHandle(info_.hThread);
    CloseHandle(info_.hProcess);
}

DWORD ChildProcess::waitForExit() {
    if (!info_.hProcess) return STILL_ACTIVE;
    for (DWORD waited = 0; waited < patienceMs; waited += pollMs) {
        if (WaitForSingleObject(info_.hProcess, 0) == WAIT_OBJECT_0) {
            DWORD status = STILL_ACTIVE;
            GetExitCodeProcess(info_.hProcess, &status);
            return status;
        }
        pump(pollMs);
    }
    return STILL_ACTIVE;
}

FrontWindow::FrontWindow()
    : window_(CreateWindowExA(0, "STATIC", "Display Settings", WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                              0, 0, 240, 120, nullptr, nullptr, GetModuleHandleA(nullptr),
                              nullptr)) {
    SetForegroundWindow(window_);
    pump(0);
}

FrontWindow::~FrontWindow() {
    DestroyWindow(window_);
}

}  // namespace dialog_driver
