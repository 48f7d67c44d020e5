#include "production/ChipRecorder.h"

#include <ctime>
#include <optional>
#include <utility>

#include "config/WriterState.h"
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
    : watch_(watch), runId_(runId.empty() ? RunId(HostName(), std::time(nullptr)) : std::move(runId)) {}

bool ChipRecorder::UseLog(const std::string& path, std::string& error) {
    logPath_ = path;
    log_.reset();
    if (path.empty()) return true;
    log_ = ProductionLog::Open(path, error);
    return log_ != nullptr;
}

ChipResult ChipRecorder::Run(Context& ctx, const std::string& operation,
                             const std::function<Outcome(Context&)>& op) {
    ChipResult result;
    std::string error;
    if (HasLog() && !log_) log_ = ProductionLog::Open(logPath_, error);
    // A log removed or replaced meanwhile would take the record out of sight.
    else if (log_ && !log_->StillInPlace(error)) log_.reset();
    if (HasLog() && !log_) {
        result.verdict = Verdict::Refused;
        result.failure = error + ": nothing is run until it can be written";
        result.logError = error;
        last_ = result;
        return result;
    }
    ChipRecord record;
    record.when = std::time(nullptr);
    record.operation = operation;
    record.body = ctx.view.GetFieldText(Control::ComboBox1);
    record.run = runId_;
    record.fastWaits = ctx.link.fastWaits;
    const int64_t received = ctx.link.receivedBytes;
    const int64_t startMs = ctx.pacer.NowMs();
    watch_.Begin();
    ctx.findings.Clear();

    const Outcome outcome = op(ctx);

    record.durationMs = ctx.pacer.NowMs() - startMs;
    result.verdict = VerdictOf(outcome, ctx.state.PortFailed, ctx.link.receivedBytes != received);
    const Findings& found = ctx.findings;
    if (result.verdict != Verdict::Pass) result.failure = watch_.FailureWith(found);
    else result.note = found.Text();
    record.verdict = result.verdict;
    record.failure = result.verdict != Verdict::Pass ? result.failure : result.note;
    // The image the chip was worked from, as verified in the writer (what
    // the fields show may have changed since: a lock change shows the
    // writer's own checksum field, an update the firmware file); values the
    // chip did not give up are no chip's checksum.
    if (const std::optional<VerifiedImage>& image = ctx.link.verifiedImage) {
        record.romFile = image->file;
        if (!found.notTheChipsValues) record.checksum = image->checksum;
    }
    if (watch_.RollingCodeShown()) record.rollingCode = RollingWords(ctx.state);
    else if (found.rollingCodeNotReported) record.rollingCode = "not reported";
    tally_.Add(result.verdict);
    if (log_ && !log_->Append(record, result.logError)) log_.reset();
    last_ = result;
    return result;
}

}  // namespace otp
