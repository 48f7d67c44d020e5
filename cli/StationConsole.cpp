#include "cli/StationConsole.h"

#include <algorithm>

namespace otp {

StationConsole::StationConsole(std::ostream& out, std::ostream& err, bool live, bool outShared,
                               std::vector<std::string> writers)
    : out_(out), err_(err), live_(live), outShared_(outShared), lines_(writers.size()) {
    for (size_t i = 0; i < writers.size(); ++i) lines_[i] = writers[i];
}

void StationConsole::Erase() {
    if (!drawn_) return;
    // Up to the first live line, and everything below it cleared.
    err_ << "\x1b[" << lines_.size() << "A\r\x1b[J";
    drawn_ = false;
}

void StationConsole::Draw() {
    if (!live_) return;
    for (const std::string& line : lines_) err_ << "\r\x1b[K" << line << '\n';
    err_.flush();
    drawn_ = true;
    lastDraw_ = std::chrono::steady_clock::now();
}

void StationConsole::Out(const std::string& line) {
    const std::lock_guard<std::mutex> lock(mutex_);
    const bool redraw = drawn_ && outShared_;
    if (redraw) {
        Erase();
        err_.flush();
    }
    out_ << line << '\n';
    out_.flush();
    if (redraw) Draw();
}

void StationConsole::Err(const std::string& line) {
    const std::lock_guard<std::mutex> lock(mutex_);
    const bool redraw = drawn_;
    Erase();
    err_ << line << '\n';
    if (redraw) Draw();
    err_.flush();
}

void StationConsole::Live(size_t index, const std::string& text, bool now) {
    const std::lock_guard<std::mutex> lock(mutex_);
    if (!live_ || index >= lines_.size() || lines_[index] == text) return;
    lines_[index] = text;
    constexpr auto kEvery = std::chrono::milliseconds(200);
    if (drawn_ && !now && std::chrono::steady_clock::now() - lastDraw_ < kEvery) return;
    Erase();
    Draw();
}

void StationConsole::Freeze() {
    const std::lock_guard<std::mutex> lock(mutex_);
    // The verdicts above say what the live lines said last.
    Erase();
    err_.flush();
}

bool StationConsole::OutFailed() {
    const std::lock_guard<std::mutex> lock(mutex_);
    return !out_;
}

std::string LiveLine(const std::string& writer, const std::string& activity, int position, int max, bool progress) {
    std::string line = writer;
    line.resize(std::max<size_t>(line.size() + 2, 8), ' ');
    line += activity;
    if (!progress) return line;
    line.resize(std::max<size_t>(line.size() + 2, 26), ' ');
    constexpr int kWidth = 20;
    const int percent = max > 0 ? std::clamp(static_cast<int>(position * 100LL / max), 0, 100) : 0;
    const int filled = percent * kWidth / 100;
    return line + "[" + std::string(static_cast<size_t>(filled), '#') +
           std::string(static_cast<size_t>(kWidth - filled), ' ') + "] " + std::to_string(percent) + " %";
}

}  // namespace otp
