// The measuring half of bench/side_by_side.sh: runs one screen saver on the
// root window of DISPLAY and reports, on one line,
//   first_lit_ms=  the time from its start until a fifth of the root is lit
//   peak_rss_kb=   its peak resident size (VmHWM) over the whole run
//   cpu_ms=        its processor time, with that of the helpers it waited for
// Usage: side_by_side_probe [--track NAME] SECONDS PROGRAM [ARGUMENTS...]
//        side_by_side_probe --write-photos FOLDER
// With --track the figures are those of the program's descendant whose
// command line holds NAME (Glimmora.scr under Wine's loader, say).
// The root is cleared to black first, so what an earlier run left there does
// not count. The program gets SIGTERM after SECONDS (and SIGKILL a second
// later), as XScreenSaver ends a hack. --write-photos writes the benchmark's
// three photographs (JPEGs of 18, 15 and 9 MP).
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include "bare_preparation.h"

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

// Lit: any channel above a dim grey. Every 4th pixel of every 4th row is
// looked at, which is plenty for a fifth of the screen.
double litShare(Display* display, Window root, int width, int height) {
    XImage* image = XGetImage(display, root, 0, 0, static_cast<unsigned>(width),
                              static_cast<unsigned>(height), AllPlanes, ZPixmap);
    if (!image) return 0;
    long lit = 0, seen = 0;
    for (int y = 0; y < height; y += 4)
        for (int x = 0; x < width; x += 4, ++seen) {
            const unsigned long p = XGetPixel(image, x, y);
            if ((p & 0xFF) > 24 || ((p >> 8) & 0xFF) > 24 || ((p >> 16) & 0xFF) > 24) ++lit;
        }
    XDestroyImage(image);
    return seen ? static_cast<double>(lit) / static_cast<double>(seen) : 0;
}

long statusKb(pid_t pid, const char* field) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    const std::size_t n = std::strlen(field);
    while (std::getline(status, line))
        if (line.compare(0, n, field) == 0) return std::atol(line.c_str() + n + 1);
    return -1;
}

// utime + stime + cutime + cstime, in milliseconds.
long cpuMs(pid_t pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), {});
    const std::size_t close = text.rfind(')');
    if (close == std::string::npos) return -1;
    std::istringstream fields(text.substr(close + 2));
    std::string skip;
    for (int i = 0; i < 11; ++i) fields >> skip;  // state .. cmajflt
    long utime = 0, stime = 0, cutime = 0, cstime = 0;
    fields >> utime >> stime >> cutime >> cstime;
    return (utime + stime + cutime + cstime) * 1000 / sysconf(_SC_CLK_TCK);
}

pid_t parentOf(pid_t pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), {});
    const std::size_t close = text.rfind(')');
    if (close == std::string::npos) return 0;
    std::istringstream fields(text.substr(close + 2));
    std::string state;
    long parent = 0;
    fields >> state >> parent;
    return static_cast<pid_t>(parent);
}

bool descendsFrom(pid_t pid, pid_t ancestor) {
    for (int depth = 0; depth < 32 && pid > 1; ++depth) {
        if (pid == ancestor) return true;
        pid = parentOf(pid);
    }
    return false;
}

// The descendant of `ancestor` whose command line holds `name`; 0 if none.
pid_t findTracked(pid_t ancestor, const std::string& name) {
    for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
        const std::string file = entry.path().filename().string();
        if (file.find_first_not_of("0123456789") != std::string::npos) continue;
        const pid_t pid = static_cast<pid_t>(std::atol(file.c_str()));
        std::ifstream cmdline(entry.path() / "cmdline");
        std::string text((std::istreambuf_iterator<char>(cmdline)), {});
        if (pid != ancestor && text.find(name) != std::string::npos && descendsFrom(pid, ancestor))
            return pid;
    }
    return 0;
}

void writePhotos(const std::filesystem::path& folder) {
    std::filesystem::create_directories(folder);
    struct Size {
        int width, height;
    } sizes[] = {{5184, 3456}, {4752, 3168}, {3648, 2432}};
    unsigned seed = 1;
    for (const Size& s : sizes)
        writePhotograph(folder / ("photo-" + std::to_string(seed) + ".jpg"), s.width, s.height,
                        seed), ++seed;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], "--write-photos") == 0) {
        writePhotos(argv[2]);
        return 0;
    }
    std::string tracked;
    if (argc > 2 && std::strcmp(argv[1], "--track") == 0) {
        tracked = argv[2];
        argv += 2;
        argc -= 2;
    }
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s [--track NAME] SECONDS PROGRAM [ARGUMENTS...]\n", argv[0]);
        return 2;
    }
    const double seconds = std::atof(argv[1]);
    Display* display = XOpenDisplay(nullptr);
    if (!display) {
        std::fprintf(stderr, "no X display\n");
        return 1;
    }
    const Window root = DefaultRootWindow(display);
    XWindowAttributes attributes;
    XGetWindowAttributes(display, root, &attributes);
    XSetWindowBackground(display, root, BlackPixel(display, DefaultScreen(display)));
    XClearWindow(display, root);
    XSync(display, False);

    const Clock::time_point start = Clock::now();
    pid_t pid = 0;
    // The program's output is not read; it must not hold the caller's pipe
    // open either (a Wine program outlives its starter until its prefix ends).
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    const int spawned = posix_spawnp(&pid, argv[2], &actions, nullptr, argv + 2, environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) {
        std::fprintf(stderr, "cannot start %s\n", argv[2]);
        return 1;
    }
    double firstLitMs = -1;
    long peakKb = 0;
    long cpu = 0;
    const auto end = start + std::chrono::duration<double>(seconds);
    int status = 0;
    bool ended = false;
    while (Clock::now() < end) {
        if (waitpid(pid, &status, WNOHANG) == pid) {
            ended = true;
            break;
        }
        // Read while the process lives: once reaped it has no /proc entry.
        pid_t measured = pid;
        if (!tracked.empty()) {
            static pid_t found = 0;
            if (found == 0 || kill(found, 0) != 0) found = findTracked(pid, tracked);
            measured = found;
        }
        if (measured > 0) {
            peakKb = std::max(peakKb, statusKb(measured, "VmHWM:"));
            cpu = std::max(cpu, cpuMs(measured));
        }
        if (firstLitMs < 0) {
            if (litShare(display, root, attributes.width, attributes.height) >= 0.2)
                firstLitMs = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
            // Reading the root costs the server too; the program under
            // test must not wait for it much.
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        } else {
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
    }
    if (!ended) {
        kill(pid, SIGTERM);
        const auto bound = Clock::now() + std::chrono::seconds(1);
        while (waitpid(pid, &status, WNOHANG) != pid) {
            if (Clock::now() > bound) {
                kill(pid, SIGKILL);
                waitpid(pid, &status, 0);
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    }
    XCloseDisplay(display);
    std::printf("first_lit_ms=%.0f peak_rss_kb=%ld cpu_ms=%ld%s\n", firstLitMs, peakKb, cpu,
                ended ? " ended_early=1" : "");
    return 0;
}
