#pragma once
// writer-emulator as a child process on a pty, told what to put into its
// socket through its standard input.
#include <sys/types.h>

#include <string>

namespace otp::bench {

class EmulatorProcess {
public:
    EmulatorProcess() = default;
    ~EmulatorProcess();
    EmulatorProcess(const EmulatorProcess&) = delete;
    EmulatorProcess& operator=(const EmulatorProcess&) = delete;

    // Starts `program` serving on `link` (a symbolic link it makes to its
    // device), at line speed or without line time; its standard error goes
    // to `logFile`. False, with `error` saying why, when it did not come up.
    bool Start(const std::string& program, const std::string& link, bool pacing, const std::string& logFile,
               std::string& error);

    // Its pid while it runs, else -1.
    pid_t Pid() const { return pid_; }

    // Puts an IC of `kind` into the socket; false when the emulator did not
    // answer with its status line.
    bool PutIc(const std::string& kind);

    // Asks it to quit and waits for it.
    void Stop();

    // Its CPU time (user + system), known once it was stopped.
    double CpuMs() const { return cpuMs_; }

private:
    std::string ReadLine(int timeoutMs);

    pid_t pid_ = -1;
    int in_ = -1;
    int out_ = -1;
    double cpuMs_ = 0;
};

}  // namespace otp::bench
