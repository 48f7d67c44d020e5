#include "production/ChipLedger.h"

#include <ctime>
#include <utility>

namespace otp {

ChipLedger::ChipLedger(std::string runId)
    : start_(std::time(nullptr)),
      runNamed_(!runId.empty()),
      runId_(runNamed_ ? std::move(runId) : otp::RunId(HostName(), start_)),
      station_(HostName()) {}

void ChipLedger::SetStation(const std::string& station) {
    const std::lock_guard<std::mutex> lock(mutex_);
    station_ = station;
    if (!runNamed_) runId_ = otp::RunId(station, start_);
}

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

void ChipLedger::UseStore(std::unique_ptr<ChipStore> store) {
    const std::lock_guard<std::mutex> lock(mutex_);
    store_ = std::move(store);
}

bool ChipLedger::ReadyToRecord(std::string& error, bool& waiting) {
    const std::lock_guard<std::mutex> lock(mutex_);
    waiting = false;
    if (!logPath_.empty()) {
        if (!log_) log_ = ProductionLog::Open(logPath_, error);
        // A log removed or replaced meanwhile would take the record out of sight.
        else if (!log_->StillInPlace(error)) log_.reset();
        if (!log_) return false;
    }
    return !store_ || store_->Ready(error, waiting);
}

std::vector<std::string> ChipLedger::TakeNotices() {
    const std::lock_guard<std::mutex> lock(mutex_);
    return store_ ? store_->TakeNotices() : std::vector<std::string>{};
}

std::string ChipLedger::Record(ChipRecord& record,
                               const std::function<void(const std::optional<EarlierChip>&)>& judge) {
    const std::lock_guard<std::mutex> lock(mutex_);
    std::string error;
    // Another writer's record may have found the log gone meanwhile.
    if (!logPath_.empty() && !log_) log_ = ProductionLog::Open(logPath_, error);
    const LogHistory& history = log_ ? log_->History() : unlogged_;
    record.station = station_;
    // The number the log gives it, known before the store writes it.
    record.chip = history.Count(record.writer) + 1;
    bool judged = false;
    const auto judgeOnce = [&](const std::optional<EarlierChip>& earlier) {
        if (judged) return;
        judged = true;
        judge(earlier);
    };
    if (IsRollingCode(record.rollingCode))
        if (const std::optional<EarlierChip> earlier = history.Holder(record.rollingCode)) judgeOnce(earlier);
    std::string storeError;
    if (store_) storeError = store_->Keep(record, judgeOnce);
    judgeOnce(std::nullopt);
    if (log_) {
        if (!log_->Append(record, error)) log_.reset();
        return !storeError.empty() ? storeError : error;
    }
    if (!logPath_.empty()) return !storeError.empty() ? storeError : error;
    unlogged_.Next(record.writer);
    if (IsRollingCode(record.rollingCode))
        unlogged_.Given(record.rollingCode, EarlierChip{record.writer, record.chip, IsoLocalTime(record.when), {}});
    return storeError;
}

}  // namespace otp
