#include "production/LogHistory.h"

#include <algorithm>
#include <limits>

#include "production/ChipRecord.h"

namespace otp {

std::string DescribeChip(const EarlierChip& chip) {
    const std::string whose = chip.writer.empty() ? " (no writer recorded)" : " of " + chip.writer;
    const std::string where = chip.station.empty() ? "" : " at " + chip.station;
    return "chip " + std::to_string(chip.chip) + whose + where + (chip.time.empty() ? "" : " (" + chip.time + ")");
}

void CsvReader::EndField() {
    row_.push_back(std::move(field_));
    field_.clear();
    quoted_ = quoteSeen_ = false;
}

void CsvReader::EndRow(std::vector<std::vector<std::string>>& rows) {
    EndField();
    // A line with nothing on it is no record.
    if (!(row_.size() == 1 && row_[0].empty())) rows.push_back(std::move(row_));
    row_.clear();
    lineOpen_ = false;
}

void CsvReader::Feed(const char* data, size_t size, std::vector<std::vector<std::string>>& rows) {
    for (size_t i = 0; i < size; ++i) {
        const char c = data[i];
        const bool wasAfterCr = afterCr_;
        afterCr_ = false;
        if (quoted_) {
            lineOpen_ = true;
            if (quoteSeen_) {
                quoteSeen_ = false;
                if (c == '"') {
                    field_ += '"';
                    continue;
                }
                quoted_ = false;  // that quote ended the field; c is what follows it
            } else if (c == '"') {
                quoteSeen_ = true;
                continue;
            } else {
                field_ += c;
                continue;
            }
        }
        if (c == '\n') {
            // CR LF ends a line once.
            if (!(wasAfterCr && !lineOpen_)) EndRow(rows);
            continue;
        }
        if (c == '\r') {
            EndRow(rows);
            afterCr_ = true;
            continue;
        }
        lineOpen_ = true;
        if (c == ',') EndField();
        else if (c == '"' && field_.empty()) quoted_ = true;
        else field_ += c;
    }
}

void CsvReader::Finish(std::vector<std::vector<std::string>>& rows) {
    if (lineOpen_) EndRow(rows);
}

bool IsRollingCode(const std::string& field) { return !field.empty() && field != "not reported"; }

void LogHistory::Header(const std::vector<std::string>& names) {
    columns_.clear();
    for (size_t i = 0; i < names.size(); ++i) columns_.emplace(names[i], static_cast<int>(i));
}

int LogHistory::Column(const char* name) const {
    if (const auto it = columns_.find(name); it != columns_.end()) return it->second;
    // Today's header, for a column an older log does not name.
    const std::vector<std::string>& today = CsvHeaderFields();
    const auto at = std::find(today.begin(), today.end(), name);
    if (at != today.end()) return static_cast<int>(at - today.begin());
    return -1;
}

std::string LogHistory::Field(const std::vector<std::string>& fields, const char* name) const {
    const int k = Column(name);
    return k >= 0 && static_cast<size_t>(k) < fields.size() ? FromSpreadsheetSafe(fields[static_cast<size_t>(k)])
                                                            : std::string();
}

bool ReadChipNumber(const std::string& field, int& chip) {
    if (field.empty() || field.size() > 10 || field.find_first_not_of("0123456789") != std::string::npos) return false;
    const long long n = std::stoll(field);  // ten digits at most: no exception
    if (n > std::numeric_limits<int>::max()) return false;
    chip = static_cast<int>(n);
    return true;
}

void LogHistory::Row(const std::vector<std::string>& fields) {
    const std::string writer = Field(fields, "writer");
    // The number the log shows for it, which the operator finds it by.
    int chip = 0;
    if (ReadChipNumber(Field(fields, "chip"), chip)) Numbered(writer, chip);
    else chip = Next(writer);
    const std::string code = Field(fields, "rolling_code");
    if (IsRollingCode(code)) Given(code, EarlierChip{writer, chip, Field(fields, "time"), {}});
    Verdict verdict = Verdict::Fail;
    if (VerdictFromWord(Field(fields, "verdict"), verdict))
        OfJob(Field(fields, "job_id"), Field(fields, "run"), writer, chip, verdict);
}

void LogHistory::OfJob(const std::string& jobId, const std::string& run, const std::string& writer, int chip,
                       Verdict verdict) {
    if (jobId.empty() || verdict == Verdict::Refused) return;
    JobChip& c = jobChips_[jobId][run + '\n' + writer + '\n' + std::to_string(chip)];
    (verdict == Verdict::Pass ? c.passed : c.failed) = true;
}

long LogHistory::PassedChips(const std::string& jobId) const {
    const auto job = jobChips_.find(jobId);
    if (job == jobChips_.end()) return 0;
    long passed = 0;
    for (const auto& [key, c] : job->second) passed += c.passed && !c.failed ? 1 : 0;
    return passed;
}

int LogHistory::Count(const std::string& writer) const {
    const auto it = counts_.find(writer);
    return it == counts_.end() ? 0 : it->second;
}

void LogHistory::Numbered(const std::string& writer, int chip) {
    int& count = counts_[writer];
    count = std::max(count, chip);
}

std::optional<EarlierChip> LogHistory::Holder(const std::string& code) const {
    const auto it = codes_.find(code);
    if (it == codes_.end()) return std::nullopt;
    return it->second;
}

void LogHistory::Given(const std::string& code, const EarlierChip& chip) { codes_.emplace(code, chip); }

}  // namespace otp
