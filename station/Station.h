#pragma once
// Several writers driven from one program: one StationWriter each, with its
// own context and thread. The station owns them and runs jobs on them at
// once; it never reaches into an operation, and an operation never knows it
// runs beside others. Shared between the writers are only the ledger (the
// production log, chip numbers and rolling codes) and the tally, each behind
// its own lock.
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "production/ChipLedger.h"
#include "production/Tally.h"
#include "station/StationWriter.h"

namespace otp {

// The chips of a station, per writer and in all.
class StationTally {
public:
    void Add(const std::string& writer, Verdict verdict);
    Tally Of(const std::string& writer) const;
    Tally Total() const;

private:
    mutable std::mutex mutex_;
    std::map<std::string, Tally> writers_;
    Tally total_;
};

class Station {
public:
    explicit Station(std::string runId = "") : ledger_(std::move(runId)) {}
    // The writers end (each finishing its jobs) before the ledger.
    ~Station() { writers_.clear(); }

    StationWriter& Add(WriterParts parts, const std::string& workingDir);
    const std::vector<std::unique_ptr<StationWriter>>& Writers() const { return writers_; }
    // The writers not stopped, in the order they were named.
    std::vector<StationWriter*> Running() const;
    // The running writers whose sockets are not set aside: the ones a round
    // starts a chip on.
    std::vector<StationWriter*> Producing() const;
    // "COM2, COM4": the running writers whose sockets are set aside.
    std::string AsideList() const;
    // The writer on `port`; null when the station has none.
    StationWriter* Find(const std::string& port) const;

    // Runs `job` on every writer not stopped, each on its own thread at the
    // same time, and returns when all have ended.
    void OnEveryWriter(const std::function<void(StationWriter&)>& job);
    // The same on the producing writers only.
    void OnEverySocket(const std::function<void(StationWriter&)>& job);
    // The start-up on every writer at once, with Writer.ini read here once;
    // a writer that finds no writer or no readable Writer.ini is stopped.
    void StartUp(const std::string& workingDir);

    ChipLedger& ledger() { return ledger_; }
    StationTally& tally() { return tally_; }

private:
    void OnEach(const std::vector<StationWriter*>& writers, const std::function<void(StationWriter&)>& job);

    ChipLedger ledger_;
    StationTally tally_;
    std::vector<std::unique_ptr<StationWriter>> writers_;
};

// "the writer's start-up found no writer", ...: why a start-up stops a writer;
// empty when it does not.
// A writer that sent bytes but no whole answer is out of step, not missing.
std::string StartupStopReason(StartupResult result, const Context& ctx);

}  // namespace otp
