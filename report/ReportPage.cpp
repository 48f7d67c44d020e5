#include "report/ReportPage.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <set>
#include <tuple>

#include "config/PathLookup.h"
#include "report/ReportHtml.h"

namespace otp {

Report MakeReport(const std::vector<std::string>& sources, const std::string& workingDir,
                  const RecordReader& readRecord, const TimeWindow& window, const std::string& from,
                  const std::string& to) {
    Report report;
    report.input = ReadSources(sources, workingDir, readRecord);
    // A chip a station's log and the record both hold (one run, writer,
    // number and start) counts once.
    std::set<std::tuple<std::string, std::string, int, std::time_t, std::string>> seen;
    std::vector<ChipRecord>& records = report.input.records;
    records.erase(std::remove_if(records.begin(), records.end(),
                                 [&](const ChipRecord& r) {
                                     return !r.run.empty() &&
                                            !seen.emplace(r.run, r.writer, r.chip, r.when, r.operation).second;
                                 }),
                  records.end());
    report.heading = ReportHeading{{}, from, to, report.input.warnings};
    for (const std::string& source : sources)
        report.heading.sources.push_back(IsRecordServerUrl(source) ? UrlWithoutPassword(source) : source);
    report.figures = CountFigures(report.input.records, window);
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
