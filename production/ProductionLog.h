#pragma once
// The production log: one CSV line per recorded operation, appended whole
// and on disk before the next operation starts. A line is either all there
// or not there at all, so a crash or a full disk never leaves half a line
// for the next one to be glued to.
#include <memory>
#include <string>

#include "production/ChipRecord.h"

namespace otp {

class ProductionLog {
public:
    // Opens (or creates, with the header line) the log at `path`; nullptr
    // with `error` saying why when it cannot be opened for appending.
    static std::unique_ptr<ProductionLog> Open(const std::string& path, std::string& error);
    ~ProductionLog();
    ProductionLog(const ProductionLog&) = delete;
    ProductionLog& operator=(const ProductionLog&) = delete;

    // Numbers the record (the line after the log's last) and appends it;
    // false with `error` when the line could not be written whole and synced.
    bool Append(ChipRecord& record, std::string& error);
    // Whether the file at the log's path is still the one opened: a log
    // removed, renamed or replaced meanwhile would take records nobody sees.
    // False with `error` saying so.
    bool StillInPlace(std::string& error) const;
    const std::string& Path() const { return path_; }

private:
    ProductionLog(int fd, std::string path, int lines, bool endsOpen)
        : fd_(fd), path_(std::move(path)), lines_(lines), endsOpen_(endsOpen) {}
    bool WriteWhole(const std::string& text, std::string& error);

    int fd_;
    std::string path_;
    int lines_;      // records the file holds
    bool endsOpen_;  // its last line has no line end yet
};

}  // namespace otp
