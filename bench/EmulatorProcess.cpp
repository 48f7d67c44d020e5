#include "bench/EmulatorProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>

#include "bench/ChildRun.h"

namespace otp::bench {

EmulatorProcess::~EmulatorProcess() { Stop(); }

bool EmulatorProcess::Start(const std::string& program, const std::string& link, bool pacing,
                            const std::string& logFile, std::string& error) {
    int in[2], out[2];
    if (pipe2(in, O_CLOEXEC) != 0 || pipe2(out, O_CLOEXEC) != 0) {
        error = "no pipes for writer-emulator";
        return false;
    }
    ChildCommand rule{program, {"--link", link, "--ic", "blank"}, "", {}, logFile};
    if (!pacing) rule.args.push_back("--no-pacing");
    pid_ = StartChild(rule, in[0], out[1]);
    close(in[0]);
    close(out[1]);
    in_ = in[1];
    out_ = out[0];
    // Its first line is the device path, written once the link is there.
    if (pid_ <= 0 || ReadLine(10000).empty()) {
        error = "writer-emulator did not start (see " + logFile + ")";
        Stop();
        return false;
    }
    return true;
}

bool EmulatorProcess::PutIc(const std::string& kind) {
    const std::string line = "ic " + kind + "\n";
    if (write(in_, line.data(), line.size()) != static_cast<ssize_t>(line.size())) return false;
    return ReadLine(5000).rfind("socket:", 0) == 0;
}

void EmulatorProcess::Stop() {
    if (in_ >= 0) {
        const char quit[] = "quit\n";
        if (write(in_, quit, sizeof quit - 1) < 0) {
            // already gone; reaped below
        }
        close(in_);
        in_ = -1;
    }
    if (pid_ > 0) {
        // A few seconds to quit, then it is made to.
        bool reaped = false;
        rusage ru{};
        for (int i = 0; i < 300 && !reaped; ++i) {
            reaped = wait4(pid_, nullptr, WNOHANG, &ru) == pid_;
            if (!reaped) usleep(10000);
        }
        if (!reaped) {
            kill(pid_, SIGKILL);
            wait4(pid_, nullptr, 0, &ru);
        }
        cpuMs_ = static_cast<double>(ru.ru_utime.tv_sec + ru.ru_stime.tv_sec) * 1000.0 +
                 static_cast<double>(ru.ru_utime.tv_usec + ru.ru_stime.tv_usec) / 1000.0;
        pid_ = -1;
    }
    if (out_ >= 0) close(out_);
    out_ = -1;
}

std::string EmulatorProcess::ReadLine(int timeoutMs) {
    std::string line;
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
        if (left.count() <= 0) return {};
        pollfd p{out_, POLLIN, 0};
        const int ready = poll(&p, 1, static_cast<int>(left.count()));
        if (ready < 0 && errno == EINTR) continue;
        if (ready <= 0) return {};
        char c = 0;
        const ssize_t n = read(out_, &c, 1);
        if (n <= 0) return {};
        if (c == '\n') return line;
        line.push_back(c);
    }
}

}  // namespace otp::bench
