#pragma once
// The benchmark's station mode (otp-bench --station).
#include <vector>

namespace otp::bench {

// Runs the station on each count of `writers`, with fixed and with fast
// waits, `chips` timed chips per writer, and prints the table. Returns the
// exit status: 1 when a run could not be measured, else 0.
int RunStationBench(const std::vector<int>& writers, int chips);

}  // namespace otp::bench
