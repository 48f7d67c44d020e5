// run-under-load [--per-core N] [--limit SECONDS] PROGRAM [ARG...]
//
// Runs PROGRAM while the machine is busy: N busy processes per core (4
// unless told) start before it and are stopped after it. PROGRAM runs in a
// process group of its own, which is killed whole when PROGRAM ends, when it
// runs longer than SECONDS (600 unless told) or when this launcher is told
// to stop, so no writer-emulator it started is left behind. Exit status:
// PROGRAM's, 124 when it ran out of time, 125 when it could not be run or
// for a usage error.
#include <errno.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

#include "BusyLoad.h"

namespace {

volatile sig_atomic_t stopSignal = 0;

void NoteStop(int sig) { stopSignal = sig; }

int Usage() {
    std::fprintf(stderr, "usage: run-under-load [--per-core N] [--limit SECONDS] PROGRAM [ARG...]\n");
    return 125;
}

bool ParsePositive(const char* text, long& value) {
    char* end = nullptr;
    value = std::strtol(text, &end, 10);
    return end != text && *end == '\0' && value > 0;
}

}  // namespace

int main(int argc, char** argv) {
    long perCore = 4;
    long limitSeconds = 600;
    int first = 1;
    for (; first + 1 < argc; first += 2) {
        if (std::strcmp(argv[first], "--per-core") == 0) {
            if (!ParsePositive(argv[first + 1], perCore)) return Usage();
        } else if (std::strcmp(argv[first], "--limit") == 0) {
            if (!ParsePositive(argv[first + 1], limitSeconds)) return Usage();
        } else {
            break;
        }
    }
    if (first >= argc || argv[first][0] == '-') return Usage();

    struct sigaction stop {};
    stop.sa_handler = NoteStop;
    for (int sig : {SIGTERM, SIGINT, SIGHUP}) sigaction(sig, &stop, nullptr);

    // The loops outlive the program by a margin, never the launcher.
    otp::test::BusyLoad load(static_cast<int>(perCore), static_cast<unsigned>(limitSeconds + 10));
    std::fprintf(stderr, "run-under-load: %zu busy processes on %d cores\n", load.Count(), otp::test::OnlineCores());

    const pid_t launcher = getpid();
    const pid_t child = fork();
    if (child == 0) {
        setpgid(0, 0);
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (getppid() != launcher) _exit(125);
        execvp(argv[first], argv + first);
        std::fprintf(stderr, "run-under-load: cannot run %s: %s\n", argv[first], std::strerror(errno));
        _exit(125);
    }
    if (child < 0) return 125;
    setpgid(child, child);  // also here, so the group exists before any kill

    using Clock = std::chrono::steady_clock;
    const Clock::time_point deadline = Clock::now() + std::chrono::seconds(limitSeconds);
    int status = 0;
    int result = -1;
    while (result < 0) {
        const pid_t done = waitpid(child, &status, WNOHANG);
        if (done == child) {
            result = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        } else if (stopSignal != 0 || Clock::now() >= deadline) {
            if (stopSignal == 0)
                std::fprintf(stderr, "run-under-load: %s ran longer than %ld s; killed\n", argv[first], limitSeconds);
            kill(-child, SIGKILL);
            waitpid(child, &status, 0);
            result = stopSignal != 0 ? 128 + stopSignal : 124;
        } else {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    }
    // A program that died without cleaning up leaves its children (an
    // emulator waits for its quit line forever); they go with its group.
    kill(-child, SIGKILL);
    load.Stop();
    return result;
}
