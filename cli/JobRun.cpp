#include "cli/JobRun.h"

#include "config/PathLookup.h"

namespace otp {

bool TakeJob(const CliOptions& o, const std::string& workingDir, ChipLedger& ledger, JobFile& job, std::string& error) {
    const std::string path = IsAbsolutePath(o.job) || workingDir.empty() ? o.job : workingDir + "/" + o.job;
    if (!ReadJobFile(path, job, error)) return false;
    if (!o.lot.empty() && !job.job.lot.empty() && o.lot != job.job.lot) {
        error = "--lot " + o.lot + " is not the lot of the job " + job.job.name + " (" + job.job.lot + ")";
        return false;
    }
    ledger.SetBatch(o.lot.empty() ? job.job.lot : o.lot, o.operatorName);
    ledger.SetJob(job.job.name, job.id);
    return true;
}

std::string JobRefusal(const JobFile& job, const std::string& writer, const std::string& difference) {
    return "the job " + job.job.name + " cannot run on " + writer + ": " + difference;
}

}  // namespace otp
