#pragma once
// The chips of a report's records. The steps done on one chip in the socket
// (blank, program, verify; load, auto, read) are a record each, and share
// the chip's number: the records of one station, run, writer and chip
// number are one chip. (Logs of versions that numbered every record count a
// chip a record.)
#include <ctime>
#include <string>
#include <vector>

#include "production/ChipRecord.h"
#include "report/ReportInput.h"

namespace otp {

struct Chip {
    std::string station, writer, run;
    int number = 0;
    std::time_t when = 0;  // its first record's
    // Fail or NoWriter when a record of it is, the first such one's; else
    // Refused when a record of it is; else Pass.
    Verdict verdict = Verdict::Pass;
    std::string failure;  // the first failure's text; empty unless it failed
    std::string body, lot, operatorName;  // its first record's
    std::string job, jobId;               // its first record's production job; empty outside one
    std::vector<std::string> rollingCodes;  // the codes its records showed, each once
};

// The chips of `rows`, the earliest first. A record that several sources
// hold (one run, writer, number, start and operation: a station's log and
// the record server) is taken once, the record server's over a log's.
std::vector<Chip> ChipsOf(const std::vector<SourceRow>& rows);

}  // namespace otp
