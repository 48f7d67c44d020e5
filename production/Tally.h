#pragma once
// The counts of a production session: chips passed and failed, the failures
// in a row, and the yield. A refused operation touched no chip: it is counted
// apart and leaves the yield and the failures in a row as they were; a
// writer that did not answer counts as a failure.
#include <string>

#include "production/ChipRecord.h"

namespace otp {

struct Tally {
    int passed = 0;
    int failed = 0;
    int failsInARow = 0;
    int refused = 0;

    void Add(Verdict v);
    void Reset() { *this = Tally{}; }
    int Chips() const { return passed + failed; }
    // "passed 19, failed 1, yield 95.0 %" ("yield -" before the first chip),
    // with "refused N" before the yield once one was.
    std::string Summary() const;
};

}  // namespace otp
