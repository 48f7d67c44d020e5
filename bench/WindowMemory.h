#pragma once
// The window's peak resident memory, on a virtual X display.
#include <string>

namespace otp::bench {

struct WindowMemory {
    bool measured = false;
    long peakRssKb = 0;
    std::string note;  // why it was not measured
};

// Starts Xvfb on a free display and `program --demo` on it in `workingDir`,
// lets it run `settleMs`, reads its VmHWM, then closes both. The window's
// output goes to `logFile`.
WindowMemory MeasureWindow(const std::string& program, const std::string& workingDir, int settleMs,
                           const std::string& logFile);

}  // namespace otp::bench
