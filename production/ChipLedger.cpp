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

std::string ChipLedger::LogNotice() const {
    const std::lock_guard<std::mutex> lock(mutex_);
    return log_ ? log_->Notice() : std::string();
}

std::string ChipLedger::LogPath() const {
    const std::lock_guard<std::mutex> lock(mutex_);
    // An earlier version's log goes on in another file.
    return log_ ? log_->Path() : logPath_;
}

void ChipLedger::UseStore(std::unique_ptr<ChipStore> store) {
    const std::lock_guard<std::mutex> storeLock(storeMutex_);
    const std::lock_guard<std::mutex> lock(mutex_);
    store_ = std::move(store);
}

bool ChipLedger::ReadyToRecord(std::string& error, bool& waiting) {
    waiting = false;
    std::shared_ptr<ChipStore> store;
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        if (!logPath_.empty()) {
            if (!log_) log_ = ProductionLog::Open(logPath_, error);
            // A log removed or replaced meanwhile would take the record out of sight.
            else if (!log_->StillInPlace(error)) log_.reset();
            if (!log_) return false;
        }
        store = store_;
    }
    if (!store) return true;
    const std::lock_guard<std::mutex> storeLock(storeMutex_);
    return store->Ready(error, waiting);
}

std::shared_ptr<ChipStore> ChipLedger::Store() const {
    const std::lock_guard<std::mutex> lock(mutex_);
    return store_;
}

std::vector<std::string> ChipLedger::TakeNotices() {
    const std::shared_ptr<ChipStore> store = Store();
    if (!store) return {};
    const std::lock_guard<std::mutex> storeLock(storeMutex_);
    return store->TakeNotices();
}

std::string ChipLedger::RecordsOnlyHere() {
    const std::shared_ptr<ChipStore> store = Store();
    if (!store) return {};
    const std::lock_guard<std::mutex> storeLock(storeMutex_);
    return store->OnlyHere();
}

std::optional<EarlierChip> ChipLedger::NumberAndLookUp(ChipRecord& record) {
    const LogHistory& history = log_ ? log_->History() : unlogged_;
    // The number the log gives it, known before the store writes it.
    if (record.chip == 0) record.chip = history.Count(record.writer) + 1;
    if (!IsRollingCode(record.rollingCode)) return std::nullopt;
    if (std::optional<EarlierChip> earlier = history.Holder(record.rollingCode)) return earlier;
    if (const auto it = pending_.find(record.rollingCode); it != pending_.end()) return it->second;
    return std::nullopt;
}

std::string ChipLedger::Record(ChipRecord& record,
                               const std::function<void(const std::optional<EarlierChip>&)>& judge) {
    bool judged = false;
    const auto judgeOnce = [&](const std::optional<EarlierChip>& earlier) {
        if (judged) return;
        judged = true;
        judge(earlier);
    };
    std::string error;
    std::shared_ptr<ChipStore> store;
    std::optional<EarlierChip> earlier;
    bool pending = false;
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        // Another writer's record may have found the log gone meanwhile.
        if (!logPath_.empty() && !log_) log_ = ProductionLog::Open(logPath_, error);
        record.station = station_;
        earlier = NumberAndLookUp(record);
        store = store_;
        if (IsRollingCode(record.rollingCode) && !earlier)
            pending = pending_.emplace(record.rollingCode, EarlierChip{record.writer, record.chip,
                                                                       IsoLocalTime(record.when), {}})
                          .second;
    }
    if (earlier) judgeOnce(earlier);
    std::string storeError;
    if (store) {
        // The network's wait, without the lock a window's thread takes.
        const std::lock_guard<std::mutex> storeLock(storeMutex_);
        storeError = store->Keep(record, judgeOnce);
    }
    judgeOnce(std::nullopt);
    if (!storeError.empty() && record.verdict == Verdict::Pass) {
        // The log must not call a chip passed that the line's record lacks.
        record.verdict = Verdict::Fail;
        record.failure = "not recorded: " + storeError;
    }
    const std::lock_guard<std::mutex> lock(mutex_);
    if (pending) pending_.erase(record.rollingCode);
    if (log_) {
        if (!log_->Append(record, error)) log_.reset();
        return !storeError.empty() ? storeError : error;
    }
    if (!logPath_.empty()) return !storeError.empty() ? storeError : error;
    unlogged_.Numbered(record.writer, record.chip);
    unlogged_.OfJob(record.jobId, record.run, record.writer, record.chip, record.verdict);
    if (IsRollingCode(record.rollingCode))
        unlogged_.Given(record.rollingCode, EarlierChip{record.writer, record.chip, IsoLocalTime(record.when), {}});
    return storeError;
}

long ChipLedger::PassedChipsOfJob() const {
    const std::lock_guard<std::mutex> lock(mutex_);
    if (jobId_.empty()) return 0;
    return (log_ ? log_->History() : unlogged_).PassedChips(jobId_);
}

namespace {

// An order the store keeps for the whole line: each claim and each give-back
// asks it, and learns the passed chips of every station.
class StoreOrder : public ProductionOrder {
public:
    StoreOrder(ChipLedger& ledger, long quantity, long passed) : ProductionOrder(quantity), ledger_(ledger), passed_(passed) {}

    Place Claim(const std::string& writer, std::string& why) override {
        bool taken = false;
        long passed = 0;
        if (!ledger_.ClaimPlace(writer, taken, passed, why)) return Place::Unknown;
        Learn(passed);
        if (taken) return Place::Taken;
        if (Complete()) return Place::Complete;
        why = LastPlacesTaken(passed, Quantity());
        return Place::Full;
    }
    void Settle(const std::string& writer, bool passed) override {
        long now = 0;
        std::string why;
        // A place not given back ends with its writer's next claim, or after a while.
        if (ledger_.GiveBackPlace(writer, now, why)) Learn(now);
        else if (passed) Learn(Passed() + 1);
    }
    long Passed() const override {
        const std::lock_guard<std::mutex> lock(mutex_);
        return passed_;
    }

private:
    void Learn(long passed) {
        const std::lock_guard<std::mutex> lock(mutex_);
        passed_ = passed;
    }
    ChipLedger& ledger_;
    mutable std::mutex mutex_;
    long passed_;
};

}  // namespace

std::unique_ptr<ProductionOrder> ChipLedger::OpenOrder(const otp::Job& job, std::string& error) {
    const std::lock_guard<std::mutex> storeLock(storeMutex_);
    const std::shared_ptr<ChipStore> store = Store();
    if (!store || !store->KeepsOrders()) return std::make_unique<LocalOrder>(job.quantity, PassedChipsOfJob());
    long passed = 0;
    if (!store->OpenOrder(job, JobId(), Station(), passed, error)) return nullptr;
    return std::make_unique<StoreOrder>(*this, job.quantity, passed);
}

bool ChipLedger::ClaimPlace(const std::string& writer, bool& taken, long& passed, std::string& error) {
    const std::lock_guard<std::mutex> storeLock(storeMutex_);
    const std::shared_ptr<ChipStore> store = Store();
    if (!store) {
        error = "no record server keeps the order";
        return false;
    }
    return store->ClaimPlace(JobId(), Station(), writer, RunId(), taken, passed, error);
}

bool ChipLedger::GiveBackPlace(const std::string& writer, long& passed, std::string& error) {
    const std::lock_guard<std::mutex> storeLock(storeMutex_);
    const std::shared_ptr<ChipStore> store = Store();
    if (!store) {
        error = "no record server keeps the order";
        return false;
    }
    return store->GiveBackPlace(JobId(), Station(), writer, passed, error);
}

}  // namespace otp
