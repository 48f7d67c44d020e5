#pragma once
// The records of a report's sources: production logs of any version and the
// record server.
#include <string>
#include <vector>

#include "production/ChipRecord.h"
#include "report/RecordReader.h"

namespace otp {

struct ReportInput {
    std::vector<ChipRecord> records;
    std::vector<std::string> warnings;  // rows left out, one line each
    std::vector<std::string> errors;    // sources that could not be read, one line each
};

// Reads every source, a log file (a relative one from `workingDir`) or a
// record server's URL (through `readRecord`). A record that names no station
// takes its run's.
ReportInput ReadSources(const std::vector<std::string>& sources, const std::string& workingDir,
                        const RecordReader& readRecord);

// The largest log a report reads: a station's years, far below a computer's memory.
inline constexpr size_t kMaxReportLogBytes = size_t{1} << 30;

}  // namespace otp
