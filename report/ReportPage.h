#pragma once
// A report from its sources, as the console and the window both make it:
// the records read, the figures counted, the heading, and the page written.
#include <string>
#include <vector>

#include "production/RecordReader.h"
#include "report/ReportFigures.h"
#include "report/ReportHeading.h"
#include "report/ReportInput.h"

namespace otp {

struct Report {
    ReportInput input;  // its errors: sources that could not be read (then no report)
    ReportHeading heading;
    Figures figures;
};

// Reads `sources` (logs from `workingDir`, record servers through
// `reader`) in `window` and counts their chips, a record that several
// sources hold (a station's log and the record) once; `from` and `to` are
// the window as given, for the heading.
Report MakeReport(const std::vector<std::string>& sources, const std::string& workingDir,
                  const RecordReader& reader, const TimeWindow& window = {}, const std::string& from = {},
                  const std::string& to = {});

// Writes the report's page to `path`; false with `error` saying why not
// ("No such file or directory").
bool WriteReportPage(const Report& report, const std::string& path, std::string& error);

}  // namespace otp
