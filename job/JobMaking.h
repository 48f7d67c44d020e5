#pragma once
// A job made from what the writer holds now: the image it verified, the
// selectors as the operator left them, its firmware version; the image file
// is put beside the job file when it lies elsewhere.
#include <string>

#include "job/JobFile.h"
#include "link/Context.h"

namespace otp {

// The selectors as a front end shows them.
struct JobSelectors {
    std::string body;      // the body selector's text
    int lock = 0;          // the lock selector's item: 0 off, 1 on
    int rolling = 0;       // the rolling-code selector's item: 0 off, 1 on
    std::string bankItem;  // the bank selector's text ("Bank 3", "Last used", "1st Un-use"); empty: none to pick
};

// Fills `job` from `ctx` and `picked`, named after the file `jobPath` (in the working folder when relative), and
// saves it there; false with `error` when the writer holds no image loaded
// from a file, the image cannot be put beside the job, or the job cannot be
// saved. `id` gets the saved job's id.
bool SaveJobFromWriter(const Context& ctx, const JobSelectors& picked, const std::string& jobPath, long quantity,
                       const std::string& lot, Job& job, std::string& id, std::string& error);

}  // namespace otp
