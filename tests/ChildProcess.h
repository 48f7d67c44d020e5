#pragma once
// Child processes for end-to-end tests: a program on pipes, and reads with a
// time limit.
#include <errno.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "BusyLoad.h"

namespace otp::test {

using Bytes = std::vector<uint8_t>;
using Clock = std::chrono::steady_clock;

inline int64_t MsSince(Clock::time_point t0) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - t0).count();
}

// Reads up to `count` bytes, giving up after `timeoutMs`.
inline Bytes ReadBytes(int fd, size_t count, int timeoutMs) {
    Bytes got;
    const auto t0 = Clock::now();
    while (got.size() < count) {
        const int64_t left = timeoutMs - MsSince(t0);
        if (left <= 0) break;
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, static_cast<int>(left)) <= 0) continue;
        uint8_t buf[4096];
        const ssize_t n = read(fd, buf, std::min(sizeof buf, count - got.size()));
        if (n > 0) got.insert(got.end(), buf, buf + n);
        if (n == 0 || (n < 0 && errno != EINTR && errno != EAGAIN)) break;
    }
    return got;
}

// What a shell command puts before the host program it starts, so that it
// runs ahead of the machine's other work where the test may have it (root):
// a line's host PC serves its writers alone, and a writer drops a command
// whose next byte is 50 ms late, which a machine loaded on purpose must not
// make the host's fault. Elsewhere nothing.
inline std::string FavouredCommand() { return geteuid() == 0 ? "nice -n -10 " : ""; }

// A program as a child process, its standard input and output (and, when
// asked, its standard error) on pipes.
class ChildProcess {
public:
    ~ChildProcess() {
        if (pid_ > 0) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
        CloseInput();
        if (out_ >= 0) close(out_);
        if (err_ >= 0) close(err_);
    }

    bool Start(const std::string& program, const std::vector<std::string>& args, bool captureErrors = false) {
        int in[2], out[2], err[2] = {-1, -1};
        if (pipe(in) != 0 || pipe(out) != 0 || (captureErrors && pipe(err) != 0)) return false;
        pid_ = fork();
        if (pid_ == 0) {
            dup2(in[0], STDIN_FILENO);
            dup2(out[1], STDOUT_FILENO);
            if (captureErrors) dup2(err[1], STDERR_FILENO);
            for (int fd : {in[0], in[1], out[0], out[1], err[0], err[1]})
                if (fd >= 0) close(fd);
            std::vector<char*> argv;
            argv.push_back(const_cast<char*>(program.c_str()));
            for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
            argv.push_back(nullptr);
            execv(program.c_str(), argv.data());
            _exit(127);
        }
        close(in[0]);
        close(out[1]);
        if (captureErrors) close(err[1]);
        in_ = in[1];
        out_ = out[0];
        err_ = err[0];
        return pid_ > 0;
    }

    // The next line of output, without its line end.
    std::string ReadLine(int timeoutMs = 5000) { return ReadLineFrom(out_, timeoutMs); }
    // The next line of standard error, when it is captured.
    std::string ReadErrorLine(int timeoutMs = 5000) { return ReadLineFrom(err_, timeoutMs); }
    std::string ReadAll(int timeoutMs = 5000) {
        std::string text;
        for (;;) {
            const Bytes b = ReadBytes(out_, 1, timeoutMs);
            if (b.empty()) return text;
            text.push_back(static_cast<char>(b[0]));
        }
    }

    void Say(const std::string& text) { ASSERT_EQ(write(in_, text.data(), text.size()), static_cast<ssize_t>(text.size())); }
    void CloseInput() {
        if (in_ >= 0) close(in_);
        in_ = -1;
    }
    void Signal(int sig) { kill(pid_, sig); }
    pid_t Pid() const { return pid_; }
    // Runs the child ahead of a loaded machine's other work (see Favour).
    void Favour() { otp::test::Favour(pid_); }

    // The exit status, or -1 if it has not ended within the time.
    int WaitExit(int timeoutMs = 5000) {
        const auto t0 = Clock::now();
        while (MsSince(t0) < timeoutMs) {
            int status = 0;
            if (waitpid(pid_, &status, WNOHANG) == pid_) {
                pid_ = -1;
                return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            }
            usleep(2000);
        }
        return -1;
    }
    bool Running() {
        int status = 0;
        return waitpid(pid_, &status, WNOHANG) == 0;
    }

private:
    static std::string ReadLineFrom(int fd, int timeoutMs) {
        std::string line;
        for (;;) {
            const Bytes b = ReadBytes(fd, 1, timeoutMs);
            if (b.empty() || b[0] == '\n') return line;
            line.push_back(static_cast<char>(b[0]));
        }
    }

    pid_t pid_ = -1;
    int in_ = -1;
    int out_ = -1;
    int err_ = -1;
};

}  // namespace otp::test
