#include "production/Tally.h"

#include <cstdio>

namespace otp {

void Tally::Add(Verdict v) {
    if (v == Verdict::Refused) {
        ++refused;
        return;
    }
    if (v == Verdict::Pass) {
        ++passed;
        failsInARow = 0;
    } else {
        ++failed;
        ++failsInARow;
    }
}

std::string Tally::Summary() const {
    std::string yield = "-";
    if (Chips() > 0) {
        char text[16];
        std::snprintf(text, sizeof text, "%.1f %%", 100.0 * passed / Chips());
        yield = text;
    }
    return "passed " + std::to_string(passed) + ", failed " + std::to_string(failed) +
           (refused > 0 ? ", refused " + std::to_string(refused) : std::string()) + ", yield " + yield;
}

}  // namespace otp
