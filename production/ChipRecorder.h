#pragma once
// Runs the operations that touch a chip (Auto, Blank Check, Program, Verify,
// Read, Copy, test-code write) as recorded ones: each gets a verdict, counts
// in the session's tally and, when a production log is named, one line in
// it, written and on disk before the next operation may start. With a log
// named that cannot be written, no recorded operation runs: a production
// line must not run unrecorded.
#include <functional>
#include <memory>
#include <string>

#include "link/Context.h"
#include "link/Outcome.h"
#include "production/ChipLedger.h"
#include "production/OperationWatch.h"
#include "production/Tally.h"

namespace otp {

struct ChipResult {
    Verdict verdict = Verdict::Pass;
    std::string failure;   // the first failure line, with the findings behind it; empty on a pass
    std::string note;      // on a pass, what the host could not confirm; empty when nothing
    std::string logError;  // why the record could not be written (log, record server, spool); empty when it was
    int chip = 0;          // the chip's number among its writer's
    std::string rollingCode;  // the code it was given, as its record holds it; empty when none
    std::string onlyHere;  // after this chip, the records only in the spool, not yet in the server; empty when none
};

class ChipRecorder {
public:
    // A recorder with a ledger of its own. Every record names the run
    // `runId`; by default this computer and now.
    explicit ChipRecorder(OperationWatch& watch, std::string runId = "");
    // One writer of a station: records into the station's `ledger` under the
    // writer's name.
    ChipRecorder(OperationWatch& watch, ChipLedger& ledger, std::string writer);

    // Names the log (empty: none). It is opened at once; false with `error`
    // when it cannot be, and then every recorded operation is refused until
    // it can.
    bool UseLog(const std::string& path, std::string& error) { return ledger_.UseLog(path, error); }
    bool HasLog() const { return ledger_.HasLog(); }
    std::string LogPath() const { return ledger_.LogPath(); }
    ChipLedger& ledger() { return ledger_; }

    // Runs `op` as one recorded operation named `operation` ("auto", ...).
    ChipResult Run(Context& ctx, const std::string& operation, const std::function<Outcome(Context&)>& op);

    // While the record server is away no chip starts: the recorder waits,
    // saying so through `news` (each new line of the wait, and whatever the
    // record has to tell of records written late), until the server has every
    // record or `stop` says to give up (the chip is refused then). Without
    // `stop` it does not wait.
    void OnRecordWait(std::function<void(const std::string&)> news, std::function<bool()> stop) {
        recordNews_ = std::move(news);
        stopWaiting_ = std::move(stop);
    }

    // Before a chip whose place of the order could not be asked for: the
    // same wait for the record server, true once a record can reach it
    // again; `waited`: the wait lasted a while (the server was away).
    bool AwaitRecord(Context& ctx, std::string& error, bool& waited) {
        bool waiting = false;
        return ReadyToRecord(ctx, error, waiting, &waited);
    }

    // The steps on one chip share its number: from here on every record is
    // of one new chip, until the next call. Without a call (the window, where
    // nothing tells one chip from the next) each operation is a chip of its own.
    void NewChip() {
        chipScope_ = true;
        chip_ = 0;
    }
    // The record is written on a thread of its own while the context's pacer
    // sleeps: the window's thread keeps painting while the network answers.
    void RecordAside(bool on) { aside_ = on; }

    Tally& tally() { return tally_; }
    const ChipResult& Last() const { return last_; }

private:
    // Whether a chip may start, after waiting for the record server if need be.
    bool ReadyToRecord(Context& ctx, std::string& error, bool& waiting, bool* waited = nullptr);
    void PassOnNotices();

    OperationWatch& watch_;
    std::function<void(const std::string&)> recordNews_;
    std::function<bool()> stopWaiting_;
    std::unique_ptr<ChipLedger> ownLedger_;
    ChipLedger& ledger_;
    // The writer's port; empty: the port the session names when it records.
    std::string writer_;
    Tally tally_;
    ChipResult last_;
    bool chipScope_ = false;
    int chip_ = 0;  // the chip under way's number; 0: a new one
    bool aside_ = false;
};

// The failure of a chip that passed but whose record could not be written.
std::string NotRecordedFailure(const std::string& writer, int chip, const std::string& why);

// The finding of a chip whose rolling code an earlier chip was given.
std::string SameRollingCodeFinding(const std::string& code, const EarlierChip& earlier);

// Pass, fail or refused from an operation's outcome; a failure in which the
// writer sent nothing at all (or the port did not open) is "no writer".
Verdict VerdictOf(Outcome outcome, bool portFailed, bool writerAnswered);

}  // namespace otp
