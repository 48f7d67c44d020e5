#pragma once
// What a production log already holds, as the next records need it: how many
// records each writer has (its chip numbers run on) and which rolling codes
// were given to which chip (no code may be given twice). Read once when the
// log is opened, then kept up to date by the records added.
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "production/ChipRecord.h"

namespace otp {

// A chip that was given a rolling code.
struct EarlierChip {
    std::string writer;  // empty for a record of a log older than the writer column
    int chip = 0;
    std::string time;  // as the log has it
    std::string station;  // the computer, when the record server named it; empty in a log
};

// "chip 3 of COM1 (2026-12-08T14:01:02+01:00)", "chip 3 of COM1 at line-pc-2
// (...)" for another station's; a record without a writer says so.
std::string DescribeChip(const EarlierChip& chip);

// Reads CSV (RFC 4180: quoted fields may hold commas, quotes and line
// breaks) in pieces as they come, handing on each row whole.
class CsvReader {
public:
    // Takes the next piece; every row completed by it goes to `rows`.
    void Feed(const char* data, size_t size, std::vector<std::vector<std::string>>& rows);
    // The end of the text: a last row without its line end is handed on.
    void Finish(std::vector<std::vector<std::string>>& rows);
    // Whether the text so far ends in the middle of a line.
    bool EndsOpen() const { return lineOpen_; }

private:
    void EndField();
    void EndRow(std::vector<std::vector<std::string>>& rows);

    std::vector<std::string> row_;
    std::string field_;
    bool quoted_ = false;     // inside a quoted field
    bool quoteSeen_ = false;  // a quote inside a quoted field: its end, or the first of two
    bool lineOpen_ = false;
    bool afterCr_ = false;
};

class LogHistory {
public:
    // The header row names the columns; a column the header does not name
    // (a log begun before it existed) is taken at its place in today's header.
    void Header(const std::vector<std::string>& names);
    // A record of the log, its text fields as the log has them (taken back
    // from SpreadsheetSafe here). Its writer's number goes up to its chip
    // number; a row without a readable number counts as the next one.
    void Row(const std::vector<std::string>& fields);

    // The highest chip number `writer` has given so far (the steps on one
    // chip share its number); its next chip is Count + 1.
    int Count(const std::string& writer) const;
    // Numbers the next record of `writer`.
    int Next(const std::string& writer) { return ++counts_[writer]; }
    // A record of `writer` got the number `chip` (the next, or the one of a
    // chip still in the socket).
    void Numbered(const std::string& writer, int chip);
    // The chip that was given `code` first; nothing when none was.
    std::optional<EarlierChip> Holder(const std::string& code) const;
    // `chip` was given `code`; the first chip keeps it.
    void Given(const std::string& code, const EarlierChip& chip);
    // A record of the job `jobId` (empty: none) about chip `chip` of
    // `writer` in `run`; a chip passes when a step passed it and none failed.
    void OfJob(const std::string& jobId, const std::string& run, const std::string& writer, int chip, Verdict verdict);
    // The chips of the job `jobId` that passed.
    long PassedChips(const std::string& jobId) const;

private:
    int Column(const char* name) const;
    std::string Field(const std::vector<std::string>& fields, const char* name) const;

    std::map<std::string, int> columns_;
    std::map<std::string, int> counts_;
    std::map<std::string, EarlierChip> codes_;
    struct JobChip {
        bool passed = false;
        bool failed = false;
    };
    // Per job id, its chips by run, writer and number.
    std::map<std::string, std::map<std::string, JobChip>> jobChips_;
};

// A chip number as the log writes it (digits, up to the largest int);
// false for anything else.
bool ReadChipNumber(const std::string& field, int& chip);

// Whether a rolling-code field names a code (not empty, not "not reported").
bool IsRollingCode(const std::string& field);

}  // namespace otp
