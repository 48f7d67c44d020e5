#pragma once
// The time the host's protocol mandates for each step of the plan: the
// console front end runs in this process on the emulated writer with the
// virtual clock, whose Sleep only advances it, so the clock's advance over a
// run is the sum of every pause and wait the host asked for.
#include <cstdint>
#include <string>
#include <vector>

#include "bench/Plan.h"

namespace otp::bench {

struct Mandated {
    int64_t startupMs = 0;  // the start-up alone, run just before the step
    int64_t runMs = 0;      // the start-up and the step
    int status = 0;         // the front end's exit status for the run
    std::string lastLine;   // the run's last line of output, which says why when the status is not 0
    // The step's own share: the run less the start-up before it.
    int64_t StepMs() const { return runMs - startupMs; }
};

// Runs the whole plan once, in order, in `workingDir`, on one demo writer
// whose memory lasts from step to step as the pty writer's does.
std::vector<Mandated> MandatedTimes(const std::vector<PlanStep>& plan, const std::string& workingDir);

}  // namespace otp::bench
