#pragma once
// Where the writers of a station print, from any thread, one whole line at a
// time: pane lines on stdout, messages and verdicts on stderr. On a terminal
// stderr also keeps one live line per writer below what was printed, redrawn
// as the writers work.
#include <chrono>
#include <mutex>
#include <ostream>
#include <string>
#include <vector>

namespace otp {

class StationConsole {
public:
    // `live`: stderr is a terminal that shows the writers' live lines;
    // `outShared`: stdout goes to that terminal too.
    StationConsole(std::ostream& out, std::ostream& err, bool live, bool outShared, std::vector<std::string> writers);

    void Out(const std::string& line);
    void Err(const std::string& line);
    // The live line of writer `index`; drawn at once when `now`, else at most
    // every few tenths of a second.
    void Live(size_t index, const std::string& text, bool now);
    // Takes the live lines away until the next Live draws them again (a
    // prompt or the summary goes between).
    void Freeze();
    // Whether stderr shows the live lines at all.
    bool ShowsLive() const { return live_; }
    // Whether a write to stdout failed.
    bool OutFailed();

private:
    void Erase();
    void Draw();

    std::mutex mutex_;
    std::ostream& out_;
    std::ostream& err_;
    const bool live_;
    const bool outShared_;
    std::vector<std::string> lines_;
    bool drawn_ = false;
    std::chrono::steady_clock::time_point lastDraw_{};
};

// "COM2  program  [############        ]  60 %": a writer's live line.
std::string LiveLine(const std::string& writer, const std::string& activity, int position, int max, bool progress);

}  // namespace otp
