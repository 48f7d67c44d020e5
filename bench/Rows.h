#pragma once
// One table row from the runs of one operation in one mode and its mandated
// time.
#include <cstddef>
#include <string>
#include <vector>

#include "bench/MandatedTimes.h"
#include "bench/Plan.h"
#include "bench/PtyRuns.h"
#include "bench/Report.h"

namespace otp::bench {

// `all` holds the runs of every step of the plan in `mode`; the row is for
// step `index`. An operation's wall is its run less the median start-up
// alone of the mode; CPU share and peak RSS are of its whole run.
Row MakeRow(const PlanStep& step, size_t index, const std::string& mode, const Mandated& mandated,
            const std::vector<StepRuns>& all);

}  // namespace otp::bench
