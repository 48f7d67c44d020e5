#pragma once
// Somewhere besides the production log that every record must reach before
// the next chip starts: the line's record server. The ledger hands it each
// record under its lock, after the log's own check of the rolling code.
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "production/ChipRecord.h"
#include "production/LogHistory.h"
#include "production/ProductionJob.h"

namespace otp {

class ChipStore {
public:
    using Judge = std::function<void(const std::optional<EarlierChip>&)>;
    virtual ~ChipStore() = default;

    // Whether a chip may start now: every record kept so far has reached the
    // store. False with `error` saying why not; `waiting` tells a store that
    // is only away for now (worth waiting for) from one that refuses.
    virtual bool Ready(std::string& error, bool& waiting) = 0;
    // Keeps `record`. `judge` takes its first call, before the record is written,
    // with the chip that holds the record's rolling code in the store (a
    // passed chip of any station), so that it can fail this one. Returns why
    // the record could be kept nowhere; empty when it was kept (written, or
    // set aside to be written first when the store is back).
    virtual std::string Keep(ChipRecord& record, const Judge& judge) = 0;
    // What the operator must hear of records written late (a record set
    // aside whose code another chip had meanwhile): said once.
    virtual std::vector<std::string> TakeNotices() = 0;
    // What is kept only on this computer so far (records the store has not
    // got yet: how many, and where); empty when nothing is.
    virtual std::string OnlyHere() const = 0;

    // The line-wide order of a production job, when the store keeps one
    // (every station then counts one order); by default it does not. Each
    // gives the job's passed chips in `passed`, or false with `error`.
    virtual bool KeepsOrders() const { return false; }
    // Enters the job and forgets the places `station` left held for it.
    virtual bool OpenOrder(const Job& job, const std::string& jobId, const std::string& station, long& passed,
                           std::string& error) {
        (void)job, (void)jobId, (void)station, (void)passed;
        error = "it keeps no orders";
        return false;
    }
    // A place for the next chip of `writer`, unless the order is full (`taken` false).
    virtual bool ClaimPlace(const std::string& jobId, const std::string& station, const std::string& writer,
                            const std::string& run, bool& taken, long& passed, std::string& error) {
        (void)jobId, (void)station, (void)writer, (void)run, (void)passed;
        taken = false;
        error = "it keeps no orders";
        return false;
    }
    virtual bool GiveBackPlace(const std::string& jobId, const std::string& station, const std::string& writer,
                               long& passed, std::string& error) {
        (void)jobId, (void)station, (void)writer, (void)passed;
        error = "it keeps no orders";
        return false;
    }
};

}  // namespace otp
