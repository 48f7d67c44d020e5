#include "production/ChipRecorder.h"

#include <ctime>
#include <optional>
#include <utility>

#include "config/WriterState.h"
#include "production/AsideWork.h"
#include "view/HexText.h"

namespace otp {
namespace {

constexpr int kRollingWords = 8;

// The rolling-code words the operation showed, as the pane shows them.
std::string RollingWords(const WriterState& s) {
    std::string words;
    for (int k = 0; k < kRollingWords; ++k)
        words += (k ? " " : "") + FormatHex(s.ReadBackBuffer[static_cast<size_t>(k)], 4);
    return words;
}

}  // namespace

Verdict VerdictOf(Outcome outcome, bool portFailed, bool writerAnswered) {
    switch (outcome) {
        case Outcome::Done: return Verdict::Pass;
        case Outcome::Refused: return Verdict::Refused;
        case Outcome::Failed: return portFailed || !writerAnswered ? Verdict::NoWriter : Verdict::Fail;
    }
    return Verdict::Fail;
}

ChipRecorder::ChipRecorder(OperationWatch& watch, std::string runId)
    : watch_(watch), ownLedger_(std::make_unique<ChipLedger>(std::move(runId))), ledger_(*ownLedger_) {}

ChipRecorder::ChipRecorder(OperationWatch& watch, ChipLedger& ledger, std::string writer)
    : watch_(watch), ledger_(ledger), writer_(std::move(writer)) {}

std::string SameRollingCodeFinding(const std::string& code, const EarlierChip& earlier) {
    return "rolling code " + code + " was given before, to " + DescribeChip(earlier) + ": no two chips may have one";
}

std::string NotRecordedFailure(const std::string& writer, int chip, const std::string& why) {
    return "chip " + std::to_string(chip) + " of " + writer + " is not recorded (" + why +
           "): it does not count as passed; set it apart";
}

void ChipRecorder::PassOnNotices() {
    for (const std::string& notice : ledger_.TakeNotices())
        if (recordNews_) recordNews_(notice);
}

bool ChipRecorder::ReadyToRecord(Context& ctx, std::string& error, bool& waiting, bool* waited) {
    std::string shown;
    if (waited) *waited = false;
    const auto ready = [&] {
        bool now = false;
        const auto ask = [&] { now = ledger_.ReadyToRecord(error, waiting); };
        if (aside_) RunAside(ctx.pacer, ask);
        else ask();
        return now;
    };
    while (!ready()) {
        PassOnNotices();
        if (!waiting || !stopWaiting_ || stopWaiting_()) return false;
        if (error != shown && recordNews_) recordNews_(error);
        shown = error;
        if (waited) *waited = true;
        ctx.pacer.Sleep(1000);
    }
    PassOnNotices();
    return true;
}

ChipResult ChipRecorder::Run(Context& ctx, const std::string& operation,
                             const std::function<Outcome(Context&)>& op) {
    ChipResult result;
    std::string error;
    bool waiting = false;
    if (!ReadyToRecord(ctx, error, waiting)) {
        result.verdict = Verdict::Refused;
        result.failure = error + ": nothing is run until it can be written";
        // A record server that is only away refuses this chip, not the run.
        if (!waiting) result.logError = error;
        last_ = result;
        return result;
    }
    ChipRecord record;
    record.when = std::time(nullptr);
    record.operation = operation;
    record.body = ctx.view.GetFieldText(Control::ComboBox1);
    record.run = ledger_.RunId();
    record.lot = ledger_.Lot();
    record.operatorName = ledger_.Operator();
    record.job = ledger_.JobName();
    record.jobId = ledger_.JobId();
    record.fastWaits = ctx.link.fastWaits;
    record.writer = writer_.empty() ? ctx.state.PortName : writer_;
    record.chip = chipScope_ ? chip_ : 0;
    const int64_t received = ctx.link.receivedBytes;
    const int64_t startMs = ctx.pacer.NowMs();
    watch_.Begin();
    ctx.findings.Clear();

    const Outcome outcome = op(ctx);

    record.durationMs = ctx.pacer.NowMs() - startMs;
    Verdict verdict = VerdictOf(outcome, ctx.state.PortFailed, ctx.link.receivedBytes != received);
    Findings& found = ctx.findings;
    if (watch_.RollingCodeShown()) record.rollingCode = RollingWords(ctx.state);
    else if (found.rollingCodeNotReported) record.rollingCode = "not reported";
    // The image the chip was worked from, as verified in the writer (what
    // the fields show may have changed since: a lock change shows the
    // writer's own checksum field, an update the firmware file); values the
    // chip did not give up are no chip's checksum.
    if (const std::optional<VerifiedImage>& image = ctx.link.verifiedImage) {
        record.romFile = image->file;
        if (!found.notTheChipsValues) record.checksum = image->checksum;
    }
    const auto judge = [&](const std::optional<EarlierChip>& earlier) {
        // A code another chip has already: this one must not ship.
        if (earlier) {
            Diagnose(ctx, SameRollingCodeFinding(record.rollingCode, *earlier));
            if (verdict == Verdict::Pass) verdict = Verdict::Fail;
        }
        result.verdict = record.verdict = verdict;
        if (verdict != Verdict::Pass) {
            result.failure = watch_.FailureWith(found);
            // The log's column is never empty for a chip that did not pass.
            if (result.failure.empty()) result.failure = operation + " did not pass, and no line said why";
        } else {
            result.note = found.Text();
        }
        record.failure = verdict != Verdict::Pass ? result.failure : result.note;
    };
    const auto write = [&] {
        result.logError = ledger_.Record(record, judge);
        result.onlyHere = ledger_.RecordsOnlyHere();
    };
    if (aside_) RunAside(ctx.pacer, write);
    else write();
    if (chipScope_) chip_ = record.chip;
    // A chip is passed once its record is written, never before.
    if (!result.logError.empty() && result.verdict == Verdict::Pass) {
        result.verdict = Verdict::Fail;
        result.failure = NotRecordedFailure(record.writer, record.chip, result.logError);
        result.note.clear();
    }
    result.chip = record.chip;
    result.rollingCode = record.rollingCode;
    PassOnNotices();
    tally_.Add(result.verdict);
    last_ = result;
    return result;
}

}  // namespace otp
