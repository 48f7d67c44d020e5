#pragma once
// Programs run as child processes, with what the kernel accounts for them.
#include <sys/types.h>

#include <string>
#include <utility>
#include <vector>

namespace otp::bench {

struct ChildCommand {
    std::string program;
    std::vector<std::string> args;
    std::string workingDir;  // empty: this process's
    std::vector<std::pair<std::string, std::string>> env;  // added to this process's environment
    std::string outputFile;  // standard output and error; empty: /dev/null
};

struct ChildUsage {
    int status = -1;  // exit status, 128 + signal when killed, -1 when it did not start
    double wallMs = 0;
    double cpuMs = 0;  // user + system
    long peakRssKb = 0;
    long sleeps = 0;  // voluntary context switches: how often it went to sleep
};

// Starts the child with its standard input on `stdinFd`, output on
// `stdoutFd` and error on `stderrFd` when they are given (>= 0), else as
// ChildCommand says. Returns its pid, or -1 when the fork failed (an exec
// failure ends the child with 127).
pid_t StartChild(const ChildCommand& rule, int stdinFd = -1, int stdoutFd = -1, int stderrFd = -1);

// Waits for the child and takes its accounting; wallMs is left to the caller.
ChildUsage WaitChild(pid_t pid);

// Starts the child, waits for it, and times it from fork to reaping.
ChildUsage RunChild(const ChildCommand& rule);

}  // namespace otp::bench
