#pragma once
#include "images/random_image_provider.h"
#include "loader/left_behind.h"
#include "loader/slide_loader.h"
#include "shell/shell_platform.h"

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

// A system that only records what the saver shell asks of it, with
// invented monitors and windows numbered from 0x100.
class RecordingPlatform final : public ShellPlatform {
public:
    struct Monitor {
        RECT rect;
        bool primary;
        bool describable = true;
    };
    struct DisplayLog {
        int made = 0;
        int frames = 0;
        int stopRequests = 0;
        int destroyed = 0;
        std::vector<HWND> fitted;
        // How many windows had been destroyed when each Display went.
        const std::vector<HWND>* windowsDestroyed = nullptr;
        std::vector<std::size_t> windowsDestroyedAtDestruction;
        std::vector<bool> pauses;
        // Order in which Displays were destroyed, by window, and how many
        // loader stops had been requested when each one went.
        std::vector<HWND> destroyOrder;
        std::vector<int> stopsAtDestruction;
        // How many windows had been hidden at each loader stop request.
        const std::vector<HWND>* windowsHidden = nullptr;
        std::vector<std::size_t> windowsHiddenAtStopRequest;
        // Displays made from now on leave a loader thread behind when they go.
        bool leaveThreadsBehind = false;
    };

    class CountingDisplay final : public ShellDisplay {
    public:
        CountingDisplay(DisplayLog& log, HWND window)
            : log_(log), window_(window), leavesThread_(log.leaveThreadsBehind) {
            ++log_.made;
        }
        ~CountingDisplay() override {
            // As a real Display does with a loader that did not end in time.
            if (leavesThread_) left_behind::keep(nullptr, {});
            log_.stopsAtDestruction.push_back(log_.stopRequests);
            if (log_.windowsDestroyed)
                log_.windowsDestroyedAtDestruction.push_back(log_.windowsDestroyed->size());
            ++log_.destroyed;
            log_.destroyOrder.push_back(window_);
        }
        void renderFrame() override { ++log_.frames; }
        void requestLoaderStop() override {
            ++log_.stopRequests;
            if (log_.windowsHidden) log_.windowsHiddenAtStopRequest.push_back(log_.windowsHidden->size());
        }
        void pauseLoader(bool paused) override { log_.pauses.push_back(paused); }
        void fitToWindow() override { log_.fitted.push_back(window_); }

    private:
        DisplayLog& log_;
        HWND window_;
        bool leavesThread_;
    };

    // What the recorded calls did.
    int cursorHides = 0;
    int quitPosts = 0;
    int lastQuitCode = -100;
    std::vector<HWND> closePosts;
    std::vector<UINT> defaultMessages;
    int priorityRaises = 0;
    int seeds = 0;
    int providersMade = 0;
    std::vector<std::string> providerDirectories;
    std::weak_ptr<int> providerAlive;  // expires when the provider is destroyed
    DisplayLog displays;
    std::vector<HWND> displayWindows;
    ImageProvider* providerGiven = nullptr;
    int passwordChecks = 0;
    std::vector<WindowRequest> windowsMade;
    std::vector<std::string> titles;
    std::vector<HWND> foreground;
    std::vector<HWND> topmost;
    std::vector<HWND> destroyedWindows;
    std::vector<HWND> clearedTitles;
    std::vector<HWND> hiddenWindows;
    std::vector<int> graceExits;  // the status of each arming
    // The status of each end of the process, and how many Displays had gone
    // by then.
    std::vector<int> processEnds;
    std::vector<int> displaysDestroyedAtProcessEnd;
    std::vector<std::pair<HWND, RECT>> moves;
    int notificationRegistrations = 0;
    std::vector<HWND> notificationWindows;
    int notificationUnregistrations = 0;
    int classRegistrations = 0;
    bool lastClassHadArrow = false;

    RecordingPlatform() {
        displays.windowsDestroyed = &destroyedWindows;
        displays.windowsHidden = &hiddenWindows;
    }

    // What the invented system answers.
    POINT cursor{400, 300};
    int passwordAnswer = 1;
    std::function<void()> duringPasswordCheck;  // the platform dialog's modal loop
    std::function<void(HWND)> duringDestroy;    // the window's own destruction message
    std::function<void(HWND)> duringCreate;     // the new window's creation message
    bool classRegisters = true;
    HWND runningSaver = nullptr;
    bool runningSaverAlive = true;
    std::vector<Monitor> monitors;
    int failingRequest = 0;  // the window request of this number (from 1) fails
    RECT parentClient{0, 0, 152, 112};
    // The monitor (index into `monitors`) each window is on after a display
    // change; a window missing here is on none.
    std::map<HWND, std::size_t> windowMonitors;

    void hideCursor() override { ++cursorHides; }
    POINT cursorPosition() override { return cursor; }
    void postQuit(int code) override {
        ++quitPosts;
        lastQuitCode = code;
    }
    void postClose(HWND window) override { closePosts.push_back(window); }
    LRESULT defaultProc(HWND, UINT message, WPARAM, LPARAM) override {
        defaultMessages.push_back(message);
        return 0x5eed;
    }
    void raiseMainThreadPriority() override { ++priorityRaises; }
    void seedRandomFromClock() override { ++seeds; }
    std::unique_ptr<RandomImageProvider> makeProvider(
        const std::vector<std::string>& directories) override {
        ++providersMade;
        providerDirectories = directories;
        auto token = std::make_shared<int>(0);
        providerAlive = token;
        // No directories are walked: the token lives in the decoder, which
        // dies with the provider.
        return std::make_unique<RandomImageProvider>(
            std::vector<std::string>{},
            [token](const std::string&) -> std::unique_ptr<RGBImage> { return nullptr; });
    }
    std::unique_ptr<ShellDisplay> makeDisplay(HWND window, ImageProvider* provider) override {
        providerGiven = provider;
        displayWindows.push_back(window);
        return std::make_unique<CountingDisplay>(displays, window);
    }
    int verifyPassword(HWND) override {
        ++passwordChecks;
        if (duringPasswordCheck) duringPasswordCheck();
        return passwordAnswer;
    }
    bool registerSaverClass(bool arrowCursor) override {
        ++classRegistrations;
        lastClassHadArrow = arrowCursor;
        return classRegisters;
    }
    HWND findRunningSaver() override { return runningSaver; }
    bool isWindow(HWND window) override { return window == runningSaver && runningSaverAlive; }
    RECT clientRect(HWND) override { return parentClient; }
    void enumerateMonitors(const std::function<bool(HMONITOR, const RECT&)>& visit) override {
        for (std::size_t i = 0; i < monitors.size(); ++i)
            if (!visit(monitorHandle(i), monitors[i].rect)) return;
    }
    bool monitorInfo(HMONITOR monitor, MONITORINFO& info) override {
        const Monitor& m = monitors.at(reinterpret_cast<std::uintptr_t>(monitor) - 1);
        if (!m.describable || info.cbSize != sizeof(MONITORINFO)) return false;
        info.rcMonitor = m.rect;
        info.rcWork = m.rect;
        info.dwFlags = m.primary ? MONITORINFOF_PRIMARY : 0;
        return true;
    }
    HWND createWindow(const WindowRequest& request) override {
        titles.push_back(request.title);
        windowsMade.push_back(request);
        if (static_cast<int>(windowsMade.size()) == failingRequest) return nullptr;
        const HWND window = reinterpret_cast<HWND>(static_cast<std::uintptr_t>(0x100 + windowsMade.size()));
        if (duringCreate) duringCreate(window);
        return window;
    }
    void bringToForeground(HWND window) override { foreground.push_back(window); }
    void makeTopmost(HWND window) override { topmost.push_back(window); }
    void destroyWindow(HWND window) override {
        destroyedWindows.push_back(window);
        if (duringDestroy) duringDestroy(window);
    }
    void clearTitle(HWND window) override { clearedTitles.push_back(window); }
    void hideWindow(HWND window) override { hiddenWindows.push_back(window); }
    void armGraceExit(int status) override { graceExits.push_back(status); }
    void endProcess(int status) override {
        processEnds.push_back(status);
        displaysDestroyedAtProcessEnd.push_back(displays.destroyed);
    }
    HMONITOR monitorOfWindow(HWND window) override {
        const auto found = windowMonitors.find(window);
        return found == windowMonitors.end() ? nullptr : monitorHandle(found->second);
    }
    void moveWindow(HWND window, const RECT& rect) override { moves.emplace_back(window, rect); }
    bool registerDisplayStateNotification(HWND window) override {
        ++notificationRegistrations;
        notificationWindows.push_back(window);
        return true;
    }
    void unregisterDisplayStateNotification() override { ++notificationUnregistrations; }

    static HMONITOR monitorHandle(std::size_t index) {
        return reinterpret_cast<HMONITOR>(static_cast<std::uintptr_t>(index + 1));
    }
};
