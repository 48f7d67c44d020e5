#include "report/ReportSource.h"

#include <algorithm>
#include <map>
#include <memory>

#include "production/CsvRows.h"
#include "report/ReportTime.h"

namespace otp {
namespace {

// The columns of the first log version: every production log has them. Later
// columns (run, waits, writer, lot, operator) may be missing.
const char* const kFirstColumns[] = {"time",    "operation", "body",        "rom_file", "checksum",
                                     "rolling_code", "verdict", "failure", "duration_ms", "chip"};

template <typename Number>
bool ReadNumber(const std::string& text, Number& n) {
    if (text.empty() || text.size() > 15 || text.find_first_not_of("0123456789") != std::string::npos) return false;
    long long value = 0;
    for (char c : text) value = value * 10 + (c - '0');  // fifteen digits at most: no overflow
    n = static_cast<Number>(value);
    return static_cast<long long>(n) == value;
}

class Columns {
public:
    explicit Columns(const std::vector<std::string>& header) {
        for (size_t i = 0; i < header.size(); ++i) at_.emplace(header[i], i);
    }
    bool Has(const std::string& name) const { return at_.count(name) > 0; }
    // The field of column `name`; empty when the log has no such column.
    const std::string& Field(const std::vector<std::string>& row, const std::string& name) const {
        static const std::string none;
        const auto it = at_.find(name);
        return it == at_.end() ? none : row[it->second];
    }

private:
    std::map<std::string, size_t> at_;
};

// The record of `row`; empty `why` when it reads.
ChipRecord ToRecord(const Columns& c, const std::vector<std::string>& row, std::string& why) {
    ChipRecord r;
    const std::string& time = c.Field(row, "time");
    const std::string& verdict = c.Field(row, "verdict");
    const std::string& chip = c.Field(row, "chip");
    const std::string& duration = c.Field(row, "duration_ms");
    if (!ParseLogTime(time, r.when)) why = "time '" + time + "' is no ISO 8601 time with its offset";
    else if (!VerdictFromWord(verdict, r.verdict)) why = "verdict '" + verdict + "' is none of pass, fail, refused, no writer";
    else if (!ReadNumber(chip, r.chip)) why = "chip '" + chip + "' is no number";
    else if (!ReadNumber(duration, r.durationMs)) why = "duration_ms '" + duration + "' is no number";
    // The text columns as written, before SpreadsheetSafe.
    const auto text = [&](const char* name) { return FromSpreadsheetSafe(c.Field(row, name)); };
    r.operation = text("operation");
    r.body = text("body");
    r.romFile = text("rom_file");
    r.checksum = text("checksum");
    r.rollingCode = text("rolling_code");
    r.failure = text("failure");
    r.run = text("run");
    r.fastWaits = c.Field(row, "waits") == "fast";
    r.writer = text("writer");
    r.lot = text("lot");
    r.operatorName = text("operator");
    r.job = text("job");
    r.jobId = text("job_id");
    r.station = StationOfRun(r.run);
    return r;
}

}  // namespace

std::string StationOfRun(const std::string& run) {
    const size_t blank = run.rfind(' ');
    return blank == std::string::npos ? run : run.substr(0, blank);
}

LogRead ReadLogText(const std::string& name, const std::string& text) {
    LogRead read;
    std::vector<std::string> header;
    bool headerSeen = false;
    std::unique_ptr<Columns> columns;
    ChipRecord record;  // the record of the row the check last passed
    const auto check = [&](const std::vector<std::string>& row) -> std::string {
        if (!headerSeen || !read.error.empty()) return {};
        if (row.size() != header.size())
            return std::to_string(row.size()) + (row.size() == 1 ? " field" : " fields") + " where the header names " +
                   std::to_string(header.size());
        std::string why;
        record = ToRecord(*columns, row, why);
        return why;
    };
    const auto take = [&](CsvRow& row) {
        const std::string where = name + ": line " + std::to_string(row.line) + ": ";
        if (!headerSeen) {
            headerSeen = true;
            if (!row.damage.empty()) {
                read.error = where + "not a production log: its first line has " + row.damage;
                return;
            }
            header = std::move(row.fields);
            columns = std::make_unique<Columns>(header);
            std::string lacks;
            for (const char* column : kFirstColumns)
                if (!columns->Has(column)) lacks += (lacks.empty() ? "" : ", ") + std::string(column);
            if (!lacks.empty())
                read.error = where + "not a production log: its header lacks " + lacks;
            return;
        }
        if (!read.error.empty()) return;
        if (!row.damage.empty()) read.warnings.push_back(where + row.damage + "; row left out");
        else read.records.push_back(std::move(record));
    };
    // The text as it is: CsvRows takes a byte-order mark off the first line.
    CsvRows reader(check, take);
    reader.Feed(text.data(), text.size());
    reader.Finish();
    if (!headerSeen) read.error = name + ": empty, not a production log (its first line names the columns)";
    if (!read.error.empty()) {
        read.records.clear();
        read.warnings.clear();
    }
    return read;
}

}  // namespace otp
