// The Linux program's time from process start to its first picture on
// screen, on the X server of DISPLAY (Xvfb with Mesa, say), against one
// bare slide preparation of the same 24-megapixel JPEG. Target: at most
// 1.2x. Each figure is the median of five runs, taken in turns.
//
// The program starts cold, and so does the bare preparation it is weighed
// against: a fresh process of this benchmark, its context made before the
// clock starts. A preparation repeated inside one process runs a good part
// faster once its memory has been touched; that figure is printed too.
//
// Usage: linux_first_picture_bench PATH-TO-GLIMMORA
//   under xvfb-run -a -s "-screen 0 1280x720x24" for a private Xvfb, with
//   build/linux/glimmora as the program
#include "platform/gl_context.h"
#include "settings/settings.h"

#include "bare_preparation.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

constexpr int kWidth = 6000;
constexpr int kHeight = 4000;

double monotonicMs() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return now.tv_sec * 1000.0 + now.tv_nsec / 1e6;
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// A child running `arguments` with its `childFd` (standard output or error)
// into a pipe; the child's pid, or 0 when it could not start. The caller
// reads `readFd` and closes it.
pid_t spawnInto(std::vector<std::string> arguments, int childFd, int& readFd) {
    int pipeFds[2];
    if (pipe(pipeFds) != 0) return 0;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], childFd);
    posix_spawn_file_actions_addclose(&actions, pipeFds[0]);
    std::vector<char*> argv;
    for (auto& argument : arguments) argv.push_back(argument.data());
    argv.push_back(nullptr);
    pid_t child = 0;
    const int spawned = posix_spawn(&child, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(pipeFds[1]);
    if (spawned != 0) {
        close(pipeFds[0]);
        return 0;
    }
    readFd = pipeFds[0];
    return child;
}

// One bare preparation in a fresh process (this program with --bare);
// negative when it failed.
double freshBareMs(const std::filesystem::path& photo, int edge) {
    int readFd = -1;
    const pid_t child = spawnInto({"/proc/self/exe", "--bare", photo.string(), std::to_string(edge)},
                                  STDOUT_FILENO, readFd);
    if (child == 0) return -1.0;
    std::string text;
    char buffer[128];
    ssize_t got = 0;
    while ((got = read(readFd, buffer, sizeof buffer)) > 0)
        text.append(buffer, static_cast<std::size_t>(got));
    close(readFd);
    int status = 0;
    waitpid(child, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return -1.0;
    return std::strtod(text.c_str(), nullptr);
}

// Starts the program on the root window of the folder and reads its
// debugger output until it reports the first picture; returns the time from
// just before the start, or a negative number when it never says.
double firstPictureMs(const char* program, const std::string& folder) {
    setenv("GLIMMORA_DEBUG_OUTPUT", "1", 1);
    const double start = monotonicMs();
    int readFd = -1;
    const pid_t child = spawnInto({program, "-root", "--dir", folder}, STDERR_FILENO, readFd);
    if (child == 0) return -1.0;
    double firstAt = -1.0;
    std::string text;
    char buffer[512];
    for (;;) {
        const ssize_t got = read(readFd, buffer, sizeof buffer);
        if (got <= 0) break;
        text.append(buffer, static_cast<std::size_t>(got));
        const auto at = text.find("first picture on screen at monotonic ");
        if (at != std::string::npos && text.find(" ms", at + 37) != std::string::npos) {
            firstAt = std::strtod(text.c_str() + at + 37, nullptr);
            break;
        }
    }
    kill(child, SIGTERM);
    close(readFd);
    int status = 0;
    waitpid(child, &status, 0);
    return firstAt < 0 ? -1.0 : firstAt - start;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 4 && std::strcmp(argv[1], "--bare") == 0) {
        theSettings.setDefaults();
        const double ms =
            std::chrono::duration<double, std::milli>(barePreparation(argv[2], std::atoi(argv[3])))
                .count();
        if (ms <= 0.0) return 1;
        std::printf("%.3f\n", ms);
        return 0;
    }
    if (argc < 2 || !std::getenv("DISPLAY")) {
        std::fprintf(stderr, "usage: DISPLAY=... linux_first_picture_bench PATH-TO-GLIMMORA\n");
        return 2;
    }
    const auto folder = std::filesystem::temp_directory_path() /
                        ("glimmora_first_picture_bench_" + std::to_string(getpid()));
    std::filesystem::create_directories(folder);
    std::printf("writing a photograph of %dx%d...\n", kWidth, kHeight);
    writePhotograph(folder / "photo.jpg", kWidth, kHeight, 1234u);

    theSettings.setDefaults();
    const int edge = displayTextureLimit();
    if (edge == 0) {
        std::fprintf(stderr, "no OpenGL context\n");
        return 1;
    }

    std::vector<double> warm;
    std::vector<double> fresh;
    std::vector<double> first;
    for (int i = 0; i < 5; ++i) {
        warm.push_back(
            std::chrono::duration<double, std::milli>(barePreparation(folder / "photo.jpg", edge))
                .count());
        fresh.push_back(freshBareMs(folder / "photo.jpg", edge));
        first.push_back(firstPictureMs(argv[1], folder.string()));
    }
    std::filesystem::remove_all(folder);
    if (*std::min_element(first.begin(), first.end()) < 0) {
        std::fprintf(stderr, "the program never reported its first picture\n");
        return 1;
    }
    if (*std::min_element(fresh.begin(), fresh.end()) < 0) {
        std::fprintf(stderr, "a bare preparation in a fresh process failed\n");
        return 1;
    }
    double load[3] = {};
    if (std::FILE* file = std::fopen("/proc/loadavg", "r")) {
        if (std::fscanf(file, "%lf %lf %lf", &load[0], &load[1], &load[2]) != 3) load[0] = -1;
        std::fclose(file);
    }
    const double firstMs = median(first);
    const double freshMs = median(fresh);
    const double warmMs = median(warm);
    std::printf("texture edge %d: first picture on screen %.1f ms after the start, bare "
                "preparation %.1f ms in a fresh process (medians of 5): %.2fx (target 1.2x); "
                "against %.1f ms repeated in one process: %.2fx; load average %.2f %.2f %.2f\n",
                edge, firstMs, freshMs, firstMs / freshMs, warmMs, firstMs / warmMs, load[0],
                load[1], load[2]);
    return 0;
}
