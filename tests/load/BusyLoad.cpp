#include "BusyLoad.h"

#include <dirent.h>
#include <errno.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

namespace otp::test {
namespace {

// Runs in the forked child of a possibly threaded process: only calls that
// are safe there.
[[noreturn]] void Spin(pid_t starter, unsigned limitSeconds) {
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (getppid() != starter) _exit(0);  // the starter died before the line above
    // The starter's handlers and blocked signals would keep these from
    // ending the loop.
    sigset_t ending;
    sigemptyset(&ending);
    struct sigaction fallback {};
    fallback.sa_handler = SIG_DFL;
    for (int sig : {SIGALRM, SIGTERM, SIGINT, SIGHUP}) {
        sigaction(sig, &fallback, nullptr);
        sigaddset(&ending, sig);
    }
    sigprocmask(SIG_UNBLOCK, &ending, nullptr);
    alarm(limitSeconds);  // SIGALRM ends the process
    volatile unsigned long turns = 0;
    for (;;) turns = turns + 1;
}

}  // namespace

int OnlineCores() {
    const long n = sysconf(_SC_NPROCESSORS_ONLN);
    return n > 0 ? static_cast<int>(n) : 1;
}

BusyLoad::BusyLoad(int perCore, unsigned limitSeconds) {
    const pid_t self = getpid();
    const int count = perCore * OnlineCores();
    for (int i = 0; i < count; ++i) {
        const pid_t pid = fork();
        if (pid == 0) Spin(self, limitSeconds);
        if (pid > 0) pids_.push_back(pid);
    }
}

void Favour(pid_t pid) {
    const std::string folder = "/proc/" + std::to_string(pid) + "/task";
    DIR* tasks = opendir(folder.c_str());
    if (!tasks) return;
    while (const dirent* task = readdir(tasks))
        if (task->d_name[0] != '.') setpriority(PRIO_PROCESS, static_cast<id_t>(atoi(task->d_name)), -10);
    closedir(tasks);
}

void BusyLoad::Stop() {
    for (pid_t pid : pids_) kill(pid, SIGKILL);
    for (pid_t pid : pids_)
        while (waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
        }
    pids_.clear();
}

}  // namespace otp::test
