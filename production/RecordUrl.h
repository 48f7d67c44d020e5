#pragma once
// The line's record server as a URL names it (libpq's form), for whoever
// writes to it or reads it.
#include <string>

namespace otp {

// Whether `source` names a record server (postgresql://, postgres://)
// rather than a log file.
bool IsRecordServerUrl(const std::string& source);

}  // namespace otp
