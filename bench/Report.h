#pragma once
// The benchmark's table, its targets and which rows miss them.
#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "bench/WindowMemory.h"

namespace otp::bench {

struct Row {
    std::string operation;
    std::string mode;  // "paced", "no-pacing" or "fast" (paced, --fast)
    int64_t mandatedMs = 0;
    double wallMs = 0;      // the operation's own: its run less the start-up
    double cpuPercent = 0;  // user + system of the whole run of otpwriter-cli, of its wall
    long peakRssKb = 0;     // of the whole run of otpwriter-cli
    bool measured = false;  // false when no run behind the row succeeded
    std::string note;       // failed runs, where their output is
};

// Targets: wall within 2 % of the mandated time (where the line is not the
// bottleneck), CPU at most 2 % of wall, the window under 60 MB.
inline constexpr double kWallRatioTarget = 1.02;
inline constexpr double kCpuShareTarget = 2.0;
inline constexpr double kWindowTargetMb = 60.0;

void PrintTable(std::ostream& out, const std::vector<Row>& rows);
// Per operation: mandated, the paced wall with fixed and with fast waits,
// and their ratios.
void PrintFastWaits(std::ostream& out, const std::vector<Row>& rows);
void PrintWindow(std::ostream& out, const WindowMemory& window);
void PrintTargets(std::ostream& out, const std::vector<Row>& rows, const WindowMemory& window);

}  // namespace otp::bench
