#include "report/ReportInput.h"

#include "config/FileRead.h"
#include "config/PathLookup.h"
#include "report/ReportSource.h"

namespace otp {

ReportInput ReadSources(const std::vector<std::string>& sources, const std::string& workingDir,
                        const RecordReader& readRecord) {
    ReportInput input;
    for (const std::string& source : sources) {
        std::vector<ChipRecord> rows;
        if (IsRecordServerUrl(source)) {
            std::string error;
            if (!readRecord || !readRecord(source, rows, error)) {
                input.errors.push_back(UrlWithoutPassword(source) + ": " +
                                       (error.empty() ? std::string("the records could not be read") : error));
                continue;
            }
        } else {
            const std::string path = IsAbsolutePath(source) || workingDir.empty() ? source : workingDir + "/" + source;
            std::string text, error;
            if (!ReadRegularFile(path, kMaxReportLogBytes, text, error)) {
                input.errors.push_back(source + ": cannot be read: " + error);
                continue;
            }
            LogRead log = ReadLogText(source, text);
            if (!log.error.empty()) {
                input.errors.push_back(log.error);
                continue;
            }
            rows = std::move(log.records);
            input.warnings.insert(input.warnings.end(), log.warnings.begin(), log.warnings.end());
        }
        for (ChipRecord& r : rows) {
            if (r.station.empty()) r.station = StationOfRun(r.run);
            input.records.push_back(std::move(r));
        }
    }
    return input;
}

}  // namespace otp
