#pragma once
// The production log: one CSV line per recorded operation, appended whole
// and on disk before the next operation starts. A line is either all there
// or not there at all, so a crash or a full disk never leaves half a line
// for the next one to be glued to.
#include <memory>
#include <string>
#include <vector>

#include "production/ChipRecord.h"
#include "production/LogHistory.h"

namespace otp {

// A line of the log that holds no record the program can read.
struct DamagedLine {
    long long line = 0;  // from 1, the header's being 1
    std::string why;     // "an unclosed quote", "16 fields where 15 are written", ...
};

class ProductionLog {
public:
    // Opens (or creates, with the header line) the log at `path`; nullptr
    // with `error` saying why when it cannot be opened for appending. A log
    // begun by an earlier version (fewer columns) goes on in PATH-DATE.EXT
    // beside it (today's date), whose Path() it then has; the history of
    // the old file and of the files that continued it on other days is read.
    static std::unique_ptr<ProductionLog> Open(const std::string& path, std::string& error);
    ~ProductionLog();
    ProductionLog(const ProductionLog&) = delete;
    ProductionLog& operator=(const ProductionLog&) = delete;

    // Numbers the record when it has no number yet (its writer's next; a
    // record with one keeps it: another step on the same chip) and appends
    // it; false with
    // `error` when the line could not be written whole and synced. A code in
    // its rolling_code is noted as given either way: the chip has it.
    bool Append(ChipRecord& record, std::string& error);
    // The records the log holds, those of earlier runs included.
    const LogHistory& History() const { return history_; }
    // Whether the file at the log's path is still the one opened: a log
    // removed, renamed or replaced meanwhile would take records nobody sees.
    // False with `error` saying so.
    bool StillInPlace(std::string& error) const;
    const std::string& Path() const { return path_; }

    // The damaged lines found when the log was opened (a line cut short,
    // an unclosed quote, another width, a chip number that does not read):
    // read around, and left in the file as they are. Their count, and the
    // first of them (at most kListedDamage).
    long long DamagedCount() const { return damagedCount_; }
    const std::vector<DamagedLine>& Damaged() const { return damaged_; }
    static constexpr size_t kListedDamage = 20;
    // One line for the operator, e.g. "the production log run.csv has 2
    // damaged lines (4: an unclosed quote; 9: 16 fields where 15 are
    // written); the records around them are read"; empty when none.
    std::string DamageNotice() const;
    // What the opening has to tell the operator: the log continued in
    // another file, damaged lines; empty when nothing.
    std::string Notice() const;

private:
    ProductionLog(int fd, std::string path) : fd_(fd), path_(std::move(path)) {}
    bool WriteWhole(const std::string& text, std::string& error);

    int fd_;
    std::string path_;
    LogHistory history_;
    bool endsOpen_ = false;  // its last line has no line end yet
    long long damagedCount_ = 0;
    std::vector<DamagedLine> damaged_;
    std::string successorNotice_;
};

}  // namespace otp
