#include "production/ChipLedger.h"

#include <ctime>
#include <utility>

namespace otp {

ChipLedger::ChipLedger(std::string runId)
    : runId_(runId.empty() ? otp::RunId(HostName(), std::time(nullptr)) : std::move(runId)) {}

bool ChipLedger::UseLog(const std::string& path, std::string& error) {
    const std::lock_guard<std::mutex> lock(mutex_);
    logPath_ = path;
    log_.reset();
    if (path.empty()) return true;
    log_ = ProductionLog::Open(path, error);
    return log_ != nullptr;
}

bool ChipLedger::HasLog() const {
    const std::lock_guard<std::mutex> lock(mutex_);
    return !logPath_.empty();
}

std::string ChipLedger::LogPath() const {
    const std::lock_guard<std::mutex> lock(mutex_);
    return logPath_;
}

bool ChipLedger::ReadyToRecord(std::string& error) {
    const std::lock_guard<std::mutex> lock(mutex_);
    if (logPath_.empty()) return true;
    if (!log_) log_ = ProductionLog::Open(logPath_, error);
    // A log removed or replaced meanwhile would take the record out of sight.
    else if (!log_->StillInPlace(error)) log_.reset();
    return log_ != nullptr;
}

std::string ChipLedger::Record(ChipRecord& record,
                               const std::function<void(const std::optional<EarlierChip>&)>& judge) {
    const std::lock_guard<std::mutex> lock(mutex_);
    std::string error;
    // Another writer's record may have found the log gone meanwhile.
    if (!logPath_.empty() && !log_) log_ = ProductionLog::Open(logPath_, error);
    const LogHistory& history = log_ ? log_->History() : unlogged_;
    judge(IsRollingCode(record.rollingCode) ? history.Holder(record.rollingCode) : std::nullopt);
    if (log_) {
        if (!log_->Append(record, error)) log_.reset();
        return error;
    }
    if (!logPath_.empty()) return error;
    record.chip = unlogged_.Next(record.writer);
    if (IsRollingCode(record.rollingCode))
        unlogged_.Given(record.rollingCode, EarlierChip{record.writer, record.chip, IsoLocalTime(record.when)});
    return {};
}

}  // namespace otp
