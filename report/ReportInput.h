#pragma once
// The records of a report's sources: production logs of any version and the
// record server.
#include <cstddef>
#include <map>
#include <string>
#include <vector>

#include "production/ChipRecord.h"
#include "production/ProductionJob.h"
#include "production/RecordReader.h"
#include "report/ReportTime.h"

namespace otp {

// A record with where it came from.
struct SourceRow {
    ChipRecord record;
    size_t source = 0;    // its source's place among those named
    bool served = false;  // from the record server, not from a log
};

struct ReportInput {
    std::vector<SourceRow> rows;        // in the order of the sources, each source's in its order
    std::vector<std::string> warnings;  // rows left out, one line each
    std::vector<std::string> errors;    // sources that could not be read, one line each
    // The orders of the jobs, by id, as the record servers named hold them.
    std::map<std::string, OrderCount> orders;
};

// Reads every source in `window`: a log file (a relative one from
// `workingDir`) or a record server's URL (through `reader`, which is asked
// for the window's records only). A record that names no station takes its
// run's.
ReportInput ReadSources(const std::vector<std::string>& sources, const std::string& workingDir,
                        const RecordReader& reader, const TimeWindow& window);

// The largest log a report reads: a station's years, far below a computer's memory.
inline constexpr size_t kMaxReportLogBytes = size_t{1} << 30;

}  // namespace otp
