#include "bench/WindowMemory.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <thread>

#include "bench/ChildRun.h"

namespace otp::bench {
namespace {

std::string FindInPath(const std::string& name) {
    const char* path = std::getenv("PATH");
    std::istringstream dirs(path ? path : "/usr/bin:/bin");
    for (std::string dir; std::getline(dirs, dir, ':');) {
        const std::string candidate = (dir.empty() ? "." : dir) + "/" + name;
        if (access(candidate.c_str(), X_OK) == 0) return candidate;
    }
    return {};
}

// The display number Xvfb writes once it accepts clients, or empty.
std::string ReadDisplay(int fd, int timeoutMs) {
    std::string text;
    for (;;) {
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, timeoutMs) <= 0) return {};
        char c = 0;
        if (read(fd, &c, 1) != 1) return {};
        if (c == '\n') return text;
        text.push_back(c);
    }
}

long VmHwmKb(pid_t pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind("VmHWM:", 0) == 0) return std::atol(line.c_str() + 6);
    }
    return 0;
}

void Finish(pid_t pid) {
    if (pid <= 0) return;
    kill(pid, SIGTERM);
    waitpid(pid, nullptr, 0);
}

}  // namespace

WindowMemory MeasureWindow(const std::string& program, const std::string& workingDir, int settleMs,
                           const std::string& logFile) {
    WindowMemory result;
    if (access(program.c_str(), X_OK) != 0) {
        result.note = program + " is not built";
        return result;
    }
    const std::string xvfb = FindInPath("Xvfb");
    if (xvfb.empty()) {
        result.note = "Xvfb is not installed (scripts/setup installs it)";
        return result;
    }
    int display[2];
    if (pipe2(display, O_CLOEXEC) != 0) {
        result.note = "no pipe for Xvfb";
        return result;
    }
    // -displayfd picks a free display and says which on our pipe.
    const pid_t server = StartChild({xvfb, {"-displayfd", "1", "-screen", "0", "1280x1024x24", "-nolisten", "tcp"}, "", {}, ""},
                                    -1, display[1]);
    close(display[1]);
    const std::string number = ReadDisplay(display[0], 15000);
    close(display[0]);
    if (number.empty()) {
        Finish(server);
        result.note = "Xvfb did not start";
        return result;
    }
    const pid_t window = StartChild(
        {program, {"--demo"}, workingDir, {{"DISPLAY", ":" + number}, {"QT_QPA_PLATFORM", "xcb"}}, logFile});
    std::this_thread::sleep_for(std::chrono::milliseconds(settleMs));
    if (waitpid(window, nullptr, WNOHANG) != 0) {
        result.note = "the window ended early (see " + logFile + ")";
    } else {
        result.peakRssKb = VmHwmKb(window);
        result.measured = result.peakRssKb > 0;
        if (!result.measured) result.note = "no VmHWM for the window";
        Finish(window);
    }
    Finish(server);
    return result;
}

}  // namespace otp::bench
