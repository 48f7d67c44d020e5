#pragma once
// What a child writes to a pipe, line by line, each with the time it came
// whole; a prompt that ends without a line end is told as soon as it is there.
#include <chrono>
#include <fstream>
#include <string>

namespace otp::bench {

class TimedLines {
public:
    using Clock = std::chrono::steady_clock;
    enum class Got { Line, Prompt, End, Timeout };

    // Reads `fd` (kept open by the caller), copying every line to `copyFile`
    // after the seconds since this reader began.
    TimedLines(int fd, const std::string& copyFile, std::string prompt);

    // The next whole line, or the prompt once it stands unanswered at the
    // end of the text (its line, once answered and ended, comes as a Line
    // too), the end of the pipe, or nothing for `timeoutMs`.
    Got Next(int timeoutMs, std::string& line, Clock::time_point& at);

private:
    bool PromptWaiting() const;
    void Copy(const std::string& text, Clock::time_point at);

    int fd_;
    std::ofstream copy_;
    std::string prompt_;
    std::string pending_;
    bool promptTold_ = false;
    Clock::time_point lastRead_{};
    const Clock::time_point begun_ = Clock::now();
};

}  // namespace otp::bench
