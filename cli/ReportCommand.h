#pragma once
// otpwriter-cli report: the figures of production logs and the record
// server, as text on stdout and, when asked, as an HTML page.
#include <string>
#include <vector>

#include "cli/CliRunner.h"
#include "production/RecordReader.h"

namespace otp {

// `args` are those after "report". Exit status: 0 when the report was
// written, 1 when a source could not be read or the page not written, 2 for
// a usage error.
int RunReport(const std::vector<std::string>& args, CliEnvironment& env, const RecordReader& reader);

std::string ReportUsage();

}  // namespace otp
