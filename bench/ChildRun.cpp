#include "bench/ChildRun.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>

extern char** environ;

namespace otp::bench {
namespace {

double Ms(const timeval& t) { return static_cast<double>(t.tv_sec) * 1000.0 + static_cast<double>(t.tv_usec) / 1000.0; }

// Every string the child needs is made before the fork, so that the child
// only changes folder, moves descriptors and executes.
struct ExecImage {
    std::vector<std::string> argStrings, envStrings;
    std::vector<char*> argv, envp;

    explicit ExecImage(const ChildCommand& rule) {
        argStrings.push_back(rule.program);
        argStrings.insert(argStrings.end(), rule.args.begin(), rule.args.end());
        for (char** e = environ; *e; ++e) {
            const std::string entry = *e;
            bool replaced = false;
            for (const auto& [name, value] : rule.env) replaced = replaced || entry.rfind(name + "=", 0) == 0;
            if (!replaced) envStrings.push_back(entry);
        }
        for (const auto& [name, value] : rule.env) envStrings.push_back(name + "=" + value);
        for (std::string& s : argStrings) argv.push_back(s.data());
        argv.push_back(nullptr);
        for (std::string& s : envStrings) envp.push_back(s.data());
        envp.push_back(nullptr);
    }
};

}  // namespace

pid_t StartChild(const ChildCommand& rule, int stdinFd, int stdoutFd, int stderrFd) {
    ExecImage image(rule);
    const std::string output = rule.outputFile.empty() ? "/dev/null" : rule.outputFile;
    const int outFd = open(output.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    const int nullFd = open("/dev/null", O_RDONLY | O_CLOEXEC);
    const pid_t pid = fork();
    if (pid == 0) {
        if (!rule.workingDir.empty() && chdir(rule.workingDir.c_str()) != 0) _exit(127);
        dup2(stdinFd >= 0 ? stdinFd : nullFd, STDIN_FILENO);
        dup2(stdoutFd >= 0 ? stdoutFd : outFd, STDOUT_FILENO);
        dup2(stderrFd >= 0 ? stderrFd : outFd, STDERR_FILENO);
        execve(image.argv[0], image.argv.data(), image.envp.data());
        _exit(127);
    }
    if (outFd >= 0) close(outFd);
    if (nullFd >= 0) close(nullFd);
    return pid;
}

ChildUsage WaitChild(pid_t pid) {
    ChildUsage usage;
    if (pid <= 0) return usage;
    int status = 0;
    rusage ru{};
    while (wait4(pid, &status, 0, &ru) < 0) {
        if (errno != EINTR) return usage;
    }
    usage.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    usage.cpuMs = Ms(ru.ru_utime) + Ms(ru.ru_stime);
    usage.peakRssKb = ru.ru_maxrss;
    usage.sleeps = ru.ru_nvcsw;
    return usage;
}

ChildUsage RunChild(const ChildCommand& rule) {
    const auto start = std::chrono::steady_clock::now();
    ChildUsage usage = WaitChild(StartChild(rule));
    usage.wallMs = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    return usage;
}

}  // namespace otp::bench
