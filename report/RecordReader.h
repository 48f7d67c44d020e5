#pragma once
// The way to the shared record server: a report names it by a URL, and the
// program that builds the report hands in the reader that knows the server.
#include <functional>
#include <string>
#include <vector>

#include "production/ChipRecord.h"

namespace otp {

// Appends the records at `url` to `rows`; false with `error` saying why
// when they could not be read.
using RecordReader = std::function<bool(const std::string& url, std::vector<ChipRecord>& rows, std::string& error)>;

// Whether a report's source names the record server (postgresql://,
// postgres://) rather than a log file.
bool IsRecordServerUrl(const std::string& source);

// The URL as messages may show it: a password in it is left out.
std::string UrlWithoutPassword(const std::string& url);

}  // namespace otp
