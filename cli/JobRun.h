#pragma once
// A console run of a production job (--job): the job read before any writer
// is touched, named in every record, opened on each writer after its
// start-up, and its order counted from the log.
#include <string>

#include "cli/CliOptions.h"
#include "job/JobFile.h"
#include "production/ChipLedger.h"

namespace otp {

// Reads the job --job names (from the working folder when relative), and
// sets the records' lot (the job's, unless --lot names it too) and job;
// false with `error` when it cannot be read or --lot names another lot.
bool TakeJob(const CliOptions& o, const std::string& workingDir, ChipLedger& ledger, JobFile& job, std::string& error);

// "the job NAME cannot run on COM1: WHAT".
std::string JobRefusal(const JobFile& job, const std::string& writer, const std::string& difference);

}  // namespace otp
