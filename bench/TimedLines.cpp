#include "bench/TimedLines.h"

#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

namespace otp::bench {

TimedLines::TimedLines(int fd, const std::string& copyFile, std::string prompt)
    : fd_(fd), copy_(copyFile), prompt_(std::move(prompt)) {}

void TimedLines::Copy(const std::string& text, Clock::time_point at) {
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, "%10.3f  ", std::chrono::duration<double>(at - begun_).count());
    copy_ << stamp << text << '\n';
    copy_.flush();
}

bool TimedLines::PromptWaiting() const {
    return !promptTold_ && pending_.find('\n') == std::string::npos && pending_.rfind(prompt_, 0) == 0;
}

TimedLines::Got TimedLines::Next(int timeoutMs, std::string& line, Clock::time_point& at) {
    const Clock::time_point end = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        const size_t newline = pending_.find('\n');
        if (newline != std::string::npos) {
            line = pending_.substr(0, newline);
            pending_.erase(0, newline + 1);
            promptTold_ = false;
            at = lastRead_;
            Copy(line, at);
            return Got::Line;
        }
        if (PromptWaiting()) {
            promptTold_ = true;
            line = pending_;
            at = lastRead_;
            Copy(line, at);
            return Got::Prompt;
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now()).count();
        if (left <= 0) return Got::Timeout;
        pollfd p{fd_, POLLIN, 0};
        const int ready = poll(&p, 1, static_cast<int>(left));
        if (ready < 0 && errno == EINTR) continue;
        if (ready == 0) return Got::Timeout;
        char buf[4096];
        const ssize_t n = ready < 0 ? -1 : read(fd_, buf, sizeof buf);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return Got::End;
        lastRead_ = Clock::now();
        pending_.append(buf, static_cast<size_t>(n));
    }
}

}  // namespace otp::bench
