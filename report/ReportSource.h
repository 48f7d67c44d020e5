#pragma once
// A production log read for a report: its rows as records. A log of any
// version is read, by the names its header gives the columns.
#include <string>
#include <vector>

#include "production/ChipRecord.h"

namespace otp {

struct LogRead {
    std::vector<ChipRecord> records;
    // One line per row left out: "FILE: line N: what is wrong; row left out".
    std::vector<std::string> warnings;
    // Why nothing of the log could be taken (not a production log); empty
    // when it was read.
    std::string error;
};

// Reads `text`, the content of the log `name` (the messages name it), with
// CsvRows. A row that cannot be taken (another width than the header's, a
// time, verdict or number that does not read, an unclosed or stray quote) is
// left out with a warning and the rows after it are read (a line cut short
// inside quotes costs that line only); a header that is not a production
// log's fails the whole log. Text columns are taken back from
// SpreadsheetSafe.
LogRead ReadLogText(const std::string& name, const std::string& text);

// The station of a record: its run's text before the last blank (a run is
// "HOST ISO-TIME"); empty when the run is.
std::string StationOfRun(const std::string& run);

}  // namespace otp
