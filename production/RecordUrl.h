#pragma once
// The line's record server as a URL names it (libpq's form), for whoever
// writes to it or reads it.
#include <string>

namespace otp {

// Whether `source` names a record server (postgresql://, postgres://)
// rather than a log file.
bool IsRecordServerUrl(const std::string& source);

// The URL as messages may show it: a password in it (user:password@, or a
// password= parameter) is shown as ***.
std::string UrlWithoutPassword(const std::string& url);

}  // namespace otp
