#pragma once
// The station table: chips per hour on 1 to 8 writers with fixed and fast
// waits, how they scale, and what the host costs; its targets.
#include <ostream>
#include <vector>

#include "bench/StationRuns.h"

namespace otp::bench {

// Targets: 8 writers give at least 7.2 times the chips per hour of one, in
// both modes; otpwriter-cli with fast waits takes under 5 % of one core
// with 8 writers and under 1 % with one.
inline constexpr double kStationScaleTarget = 0.9;  // 7.2 of 8
inline constexpr double kStationCpuTarget8 = 5.0;
inline constexpr double kStationCpuTarget1 = 1.0;

void PrintStationTable(std::ostream& out, const std::vector<StationRun>& runs);
void PrintStationTargets(std::ostream& out, const std::vector<StationRun>& runs);

}  // namespace otp::bench
