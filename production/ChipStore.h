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
};

}  // namespace otp
