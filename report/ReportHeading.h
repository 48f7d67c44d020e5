#pragma once
// What a report says about itself above its figures.
#include <string>
#include <vector>

namespace otp {

struct ReportHeading {
    std::vector<std::string> sources;  // as named (a URL without its password)
    std::string from, to;              // the window as given; empty when open
    std::vector<std::string> rowsLeftOut;  // a warning per row of a log that could not be read
};

}  // namespace otp
