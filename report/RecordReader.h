#pragma once
// The way to the shared record server: a report names it by a URL, and the
// program that builds the report hands in the reader that knows the server.
#include <functional>
#include <string>
#include <vector>

#include "production/ChipRecord.h"
#include "production/RecordUrl.h"

namespace otp {

// Appends the records at `url` to `rows`; false with `error` saying why
// when they could not be read.
using RecordReader = std::function<bool(const std::string& url, std::vector<ChipRecord>& rows, std::string& error)>;


}  // namespace otp
