#pragma once
// What every writer of a station records into: the production log (when
// one is named), the chip numbers of each writer, and the rolling codes
// given so far (those in the log included), so that no code passes twice.
// A program with one writer has one of its own. Two locks: the local one
// (log, numbers, codes, names), which a window's thread may take and which is
// never held across a wait on the network, and the store's, held while a
// record goes to the record server (or its spool) and while the store is
// asked whether it is ready.
#include <ctime>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "production/ChipRecord.h"
#include "production/ChipStore.h"
#include "production/LogHistory.h"
#include "production/ProductionJob.h"
#include "production/ProductionOrder.h"
#include "production/ProductionLog.h"

namespace otp {

class ChipLedger {
public:
    // Every record names the run `runId`; by default this computer and now.
    explicit ChipLedger(std::string runId = "");

    // Names the log (empty: none) and opens it at once; false with `error`
    // when it cannot be, and then no record can be written until it can.
    bool UseLog(const std::string& path, std::string& error);
    bool HasLog() const;
    // What the log's opening found to tell the operator (damaged lines read
    // around); empty when nothing.
    std::string LogNotice() const;
    std::string LogPath() const;
    // Every record goes to `store` too (the line's record server), before
    // the log; none: the log only.
    void UseStore(std::unique_ptr<ChipStore> store);
    // Whether a record could be written now: a named log is open (opened
    // again when it was not) and still in place, and the store has every
    // record kept so far. False with `error`; `waiting` when it is the
    // store that is away for now.
    bool ReadyToRecord(std::string& error, bool& waiting);
    // What the store had to say of records written late; said once.
    std::vector<std::string> TakeNotices();

    // Shows `judge` the chip that was given the record's rolling code before
    // (any writer, this run or the log; any station's passed chip in the
    // store), so that it can fail this one, then numbers the record for its
    // writer (a record with a number keeps it: another step on the same
    // chip) and hands it to the store and the log. Returns why the store or
    // the log could not take it; empty when both did. A passed chip whose
    // record the store could not keep goes to the log as failed, with why.
    std::string Record(ChipRecord& record, const std::function<void(const std::optional<EarlierChip>&)>& judge);

    std::string RunId() const {
        const std::lock_guard<std::mutex> lock(mutex_);
        return runId_;
    }
    // The lot and the operator every record of the run names (--lot,
    // --operator); set before the first record.
    void SetBatch(std::string lot, std::string operatorName) {
        const std::lock_guard<std::mutex> lock(mutex_);
        lot_ = std::move(lot);
        operator_ = std::move(operatorName);
    }
    std::string Lot() const {
        const std::lock_guard<std::mutex> lock(mutex_);
        return lot_;
    }
    std::string Operator() const {
        const std::lock_guard<std::mutex> lock(mutex_);
        return operator_;
    }
    // The production job every record names (its name and id); set before
    // the first record.
    void SetJob(std::string name, std::string id) {
        const std::lock_guard<std::mutex> lock(mutex_);
        job_ = std::move(name);
        jobId_ = std::move(id);
    }
    std::string JobName() const {
        const std::lock_guard<std::mutex> lock(mutex_);
        return job_;
    }
    std::string JobId() const {
        const std::lock_guard<std::mutex> lock(mutex_);
        return jobId_;
    }
    // The chips of the job that passed, as the log (or, without one, this
    // run) holds them.
    long PassedChipsOfJob() const;
    // The order of `job` (named with SetJob): kept in the store when it
    // keeps orders, so that every station of the line counts one order;
    // else counted here, from the log. nullptr with `error` when the store
    // cannot enter it.
    std::unique_ptr<ProductionOrder> OpenOrder(const otp::Job& job, std::string& error);
    // A place of the order in the store for the next chip of `writer`, and
    // giving it back; false with `error` when the store could not answer.
    bool ClaimPlace(const std::string& writer, bool& taken, long& passed, std::string& error);
    bool GiveBackPlace(const std::string& writer, long& passed, std::string& error);
    // The computer every record names, and its run; this one's name unless
    // set (--station).
    void SetStation(const std::string& station);
    std::string Station() const {
        const std::lock_guard<std::mutex> lock(mutex_);
        return station_;
    }
    // What the store keeps only on this computer so far; empty when nothing.
    std::string RecordsOnlyHere();

private:
    // The record's number and the chip that holds its code, from the log (or
    // this run's records) and the records still on their way to the store.
    std::optional<EarlierChip> NumberAndLookUp(ChipRecord& record);
    // The store, taken under the local lock; its own lock is the caller's.
    std::shared_ptr<ChipStore> Store() const;

    mutable std::mutex mutex_;
    std::time_t start_;
    bool runNamed_;  // the run was named when made, not after the station
    std::string runId_;
    std::string lot_;
    std::string operator_;
    std::string station_;
    std::string job_;
    std::string jobId_;
    // Taken before mutex_ when both are needed; never by a window's thread.
    std::mutex storeMutex_;
    std::shared_ptr<ChipStore> store_;
    // Codes of records between their look-up and their log line: a second
    // writer's chip with one of them fails while the first is being written.
    std::map<std::string, EarlierChip> pending_;
    std::string logPath_;
    std::unique_ptr<ProductionLog> log_;
    // The records of a run without a log.
    LogHistory unlogged_;
};

}  // namespace otp
