#pragma once
// A job opened on one writer: its image loaded (only the file beside the job
// whose digest the job names), its lock, rolling-code and bank settings
// picked, and then what the writer gives back and its firmware compared
// with the job. Production may start only when nothing differs.
#include <string>

#include "job/JobFile.h"
#include "link/Context.h"
#include "view/FormModel.h"

namespace otp {

// The image file beside the job, read and checked against the job's digest;
// false with `error` naming the file and both digests when it differs.
bool CheckJobImage(const JobFile& job, std::string& path, std::string& error);

// Makes the writer of `ctx` hold what `job` says, through the operator's
// own load and picks on `form`. False with `difference`: what differs and
// what the job wants ("the lock: the writer holds ON, the job wants off").
bool OpenJobOnWriter(Context& ctx, FormModel& form, const JobFile& job, std::string& difference);

// "RX4400 order 4711 (3f2a...)" as titles and tiles show a job.
std::string JobTitle(const JobFile& job);

}  // namespace otp
