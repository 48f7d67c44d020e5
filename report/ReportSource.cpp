#include "report/ReportSource.h"

#include <algorithm>
#include <map>
#include <memory>

#include "production/LogHistory.h"
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
    n = static_cast<Number>(std::stoll(text));
    return static_cast<long long>(n) == std::stoll(text);
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
    r.operation = c.Field(row, "operation");
    r.body = c.Field(row, "body");
    r.romFile = c.Field(row, "rom_file");
    r.checksum = c.Field(row, "checksum");
    r.rollingCode = c.Field(row, "rolling_code");
    r.failure = c.Field(row, "failure");
    r.run = c.Field(row, "run");
    r.fastWaits = c.Field(row, "waits") == "fast";
    r.writer = c.Field(row, "writer");
    r.lot = c.Field(row, "lot");
    r.operatorName = c.Field(row, "operator");
    r.station = StationOfRun(r.run);
    return r;
}

// The text as its physical lines, each with its line end (LF, CR LF or CR).
std::vector<std::pair<size_t, size_t>> LineSpans(const std::string& text) {
    std::vector<std::pair<size_t, size_t>> spans;
    size_t start = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        const bool end = text[i] == '\n' || (text[i] == '\r' && (i + 1 == text.size() || text[i + 1] != '\n'));
        if (end) {
            spans.emplace_back(start, i + 1 - start);
            start = i + 1;
        }
    }
    if (start < text.size()) spans.emplace_back(start, text.size() - start);
    return spans;
}

}  // namespace

std::string StationOfRun(const std::string& run) {
    const size_t blank = run.rfind(' ');
    return blank == std::string::npos ? run : run.substr(0, blank);
}

LogRead ReadLogText(const std::string& name, const std::string& text) {
    LogRead read;
    // A spreadsheet may save the log with a byte-order mark.
    const size_t skip = text.rfind("\xEF\xBB\xBF", 0) == 0 ? 3 : 0;
    const std::string body = text.substr(skip);
    CsvReader reader;
    std::vector<std::vector<std::string>> rows;
    std::vector<std::string> header;
    bool headerSeen = false;
    std::unique_ptr<Columns> columns;
    int line = 0, rowLine = 0;
    const auto take = [&](std::vector<std::string>& row) {
        const std::string where = name + ": line " + std::to_string(rowLine) + ": ";
        if (!headerSeen) {
            headerSeen = true;
            header = row;
            columns = std::make_unique<Columns>(header);
            std::string lacks;
            for (const char* column : kFirstColumns)
                if (!columns->Has(column)) lacks += (lacks.empty() ? "" : ", ") + std::string(column);
            if (!lacks.empty())
                read.error = where + "not a production log: its header lacks " + lacks;
            return;
        }
        if (!read.error.empty()) return;
        if (row.size() != header.size()) {
            read.warnings.push_back(where + std::to_string(row.size()) + " fields where the header names " +
                                    std::to_string(header.size()) + "; row left out");
            return;
        }
        std::string why;
        ChipRecord record = ToRecord(*columns, row, why);
        if (!why.empty()) read.warnings.push_back(where + why + "; row left out");
        else read.records.push_back(std::move(record));
    };
    for (const auto& [start, size] : LineSpans(body)) {
        ++line;
        if (!reader.EndsOpen()) rowLine = line;
        reader.Feed(body.data() + start, size, rows);
        for (std::vector<std::string>& row : rows) take(row);
        rows.clear();
    }
    reader.Finish(rows);
    for (std::vector<std::string>& row : rows) take(row);
    if (!headerSeen) read.error = name + ": empty, not a production log (its first line names the columns)";
    if (!read.error.empty()) {
        read.records.clear();
        read.warnings.clear();
    }
    return read;
}

}  // namespace otp
