#pragma once
// The production log: one CSV line per recorded operation, appended whole
// and on disk before the next operation starts. A line is either all there
// or not there at all, so a crash or a full disk never leaves half a line
// for the next one to be glued to.
#include <memory>
#include <string>

#include "production/ChipRecord.h"
#include "production/LogHistory.h"

namespace otp {

class ProductionLog {
public:
    // Opens (or creates, with the header line) the log at `path`; nullptr
    // with `error` saying why when it cannot be opened for appending.
    static std::unique_ptr<ProductionLog> Open(const std::string& path, std::string& error);
    ~ProductionLog();
    ProductionLog(const ProductionLog&) = delete;
    ProductionLog& operator=(const ProductionLog&) = delete;

    // Numbers the record (its writer's next) and appends it; false with
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

private:
    ProductionLog(int fd, std::string path, LogHistory history, bool endsOpen)
        : fd_(fd), path_(std::move(path)), history_(std::move(history)), endsOpen_(endsOpen) {}
    bool WriteWhole(const std::string& text, std::string& error);

    int fd_;
    std::string path_;
    LogHistory history_;
    bool endsOpen_;  // its last line has no line end yet
};

}  // namespace otp
