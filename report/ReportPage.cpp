#include "report/ReportPage.h"

#include <cerrno>
#include <cstring>
#include <fstream>

#include "config/PathLookup.h"
#include "production/RecordUrl.h"
#include "report/ReportHtml.h"

namespace otp {

Report MakeReport(const std::vector<std::string>& sources, const std::string& workingDir,
                  const RecordReader& reader, const TimeWindow& window, const std::string& from,
                  const std::string& to) {
    Report report;
    report.input = ReadSources(sources, workingDir, reader, window);
    report.heading = ReportHeading{{}, from, to, report.input.warnings};
    for (const std::string& source : sources)
        report.heading.sources.push_back(IsRecordServerUrl(source) ? ShownUrl(reader, source) : source);
    report.figures = CountFigures(ChipsOf(report.input.rows), report.input.orders);
    return report;
}

bool WriteReportPage(const Report& report, const std::string& path, std::string& error) {
    errno = 0;
    std::ofstream page(FsPath(path), std::ios::binary | std::ios::trunc);
    page << ReportHtml(report.figures, report.heading);
    page.close();
    if (page) return true;
    error = errno ? std::strerror(errno) : "the write failed";
    return false;
}

}  // namespace otp
