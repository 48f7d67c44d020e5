#pragma once
// A production job: what to program, decided once by an engineer and run by
// a line as it stands. Kept as NAME.otpjob, plain "key = value" lines that a
// person can read and diff:
//
//   # otpwriter job
//   name = RX4400 order 4711
//   image = demo-rx4400.rom
//   image-sha256 = 64 hex digits of the image file's SHA-256
//   checksum = FC00
//   body = RX4400
//   lock = off
//   rolling = on
//   bank = 0
//   firmware = the writer's version line
//   quantity = 5000
//   lot = L7
//   note = free text, one line each
//
// The image file lies beside the job and is found by its digest. The job's
// id is the first 16 hex digits of the job file's own SHA-256: a job changed
// in any byte is another job.
#include <string>
#include <vector>

#include "production/ProductionJob.h"

namespace otp {

// The job as its file holds it; false with `error` naming the field when a
// value cannot be kept (a line break, blanks at its ends, a bad value).
bool JobText(const Job& job, std::string& text, std::string& error);
// Reads a job file's text; false with `error` ("line 4: ...") at the first
// line that is not one, or naming the field that is missing.
bool ParseJob(const std::string& text, Job& job, std::string& error);
// The id of a job file's bytes: the first 16 hex digits of their SHA-256.
std::string JobId(const std::string& fileBytes);

struct JobFile {
    std::string path;
    std::string id;
    Job job;
};

// Reads and checks the job file at `path`; false with `error` naming the
// file and what is wrong.
bool ReadJobFile(const std::string& path, JobFile& read, std::string& error);
// Writes `job` to `path` whole or not at all (a new file renamed into
// place); false with `error`. `id` gets the written file's id.
bool WriteJobFile(const std::string& path, const Job& job, std::string& id, std::string& error);

}  // namespace otp
