#include "report/ReportInput.h"

#include "config/FileRead.h"
#include "config/PathLookup.h"
#include "production/RecordUrl.h"
#include "report/ReportSource.h"

namespace otp {

ReportInput ReadSources(const std::vector<std::string>& sources, const std::string& workingDir,
                        const RecordReader& reader, const TimeWindow& window) {
    ReportInput input;
    for (size_t i = 0; i < sources.size(); ++i) {
        const std::string& source = sources[i];
        std::vector<ChipRecord> rows;
        const bool served = IsRecordServerUrl(source);
        if (served) {
            std::string error;
            if (!reader.read || !reader.read(source, window.from.value_or(0), window.to.value_or(0), rows, error)) {
                input.errors.push_back(ShownUrl(reader, source) + ": " +
                                       (error.empty() ? std::string("the records could not be read") : error));
                continue;
            }
            // Without its orders the report still counts the chips.
            if (reader.orders && !reader.orders(source, input.orders, error))
                input.warnings.push_back(ShownUrl(reader, source) + ": the orders of its jobs could not be read: " + error);
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
        // A log holds every time; a server's reader is held to the window too.
        for (ChipRecord& r : rows) {
            if (!window.Holds(r.when)) continue;
            if (r.station.empty()) r.station = StationOfRun(r.run);
            input.rows.push_back({std::move(r), i, served});
        }
    }
    return input;
}

}  // namespace otp
