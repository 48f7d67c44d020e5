#pragma once
// The plan run with the built programs: otpwriter-cli against one
// writer-emulator on a pty, paced or not.
#include <string>
#include <vector>

#include "bench/ChildRun.h"
#include "bench/Plan.h"
#include "bench/WorkFolder.h"

namespace otp::bench {

// One measured operation: the run of otpwriter-cli with the step, and the
// run of the start-up alone just before it on the same writer, which also
// shows that the writer is in order. For the start-up step itself only
// `startup` is set.
struct Sample {
    ChildUsage startup;
    ChildUsage run;
};

struct StepRuns {
    std::vector<Sample> good;  // samples whose runs all ended with status 0
    int failed = 0;            // attempts that did not
    std::string failureLog;    // the output of the first failed run
};

// Runs every step until it has `repeat` good samples (the start-up at least
// 3), with up to two attempts more for the failed ones: a loaded machine can
// hold either program up past the writer's 50 ms idle timeout.
// `fast`: otpwriter-cli runs with --fast (its waits end once the answer is
// whole).
std::vector<StepRuns> RunPlanOnPty(const std::vector<PlanStep>& plan, bool pacing, bool fast, int repeat,
                                   const WorkFolder& work, std::string& error);

}  // namespace otp::bench
