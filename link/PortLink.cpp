#include "link/PortLink.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "link/LogLine.h"
#include "link/WriterCommands.h"

namespace otp {

void OpenPort(Context& ctx) {
    WriterState& s = ctx.state;
    s.PortFailed = false;
    ctx.link.PortHandle.reset();
    const OpenResult result = ctx.link.opener.Open(s.PortName, ctx.link.PortHandle);
    ctx.link.line.Reset();
    if (result == OpenResult::Ok && ctx.link.PortHandle) {
        // Whatever an earlier run left on the line is no answer to us.
        ctx.link.unaskedAtOpen = DiscardArrived(ctx);
        return;
    }
    ctx.link.PortHandle.reset();
    s.PortFailed = true;
    // With no port from Writer.ini, what the opener makes of the empty name
    // would hide why there is none.
    const std::string text = s.PortName.empty() && !s.PortProblem.empty()
                                 ? "RS232 open error!!!\n" + s.PortProblem
                                 : OpenErrorText(result, ctx.link.opener.LastFailure());
    ctx.view.ShowErrorBox("ERROR", text, false);
}

std::string OpenErrorText(OpenResult result, const OpenFailure& failure) {
    std::string text = result == OpenResult::SettingError ? "RS232 setting error!!!" : "RS232 open error!!!";
    if (failure.device.empty()) return text;
    const std::string reason = !failure.reason.empty() ? failure.reason
                               : failure.error != 0   ? std::strerror(failure.error)
                                                      : "the reason is not known";
    text += "\n" + failure.device + ": " + reason;
#ifndef _WIN32
    // Serial devices belong to the group dialout, which a fresh user is not in.
    if (failure.error == EACCES || failure.error == EPERM)
        text += "\nLet your user use serial ports: sudo usermod -aG dialout $USER, then log in again.";
#endif
    return text;
}

void ClosePort(Context& ctx) { ctx.link.PortHandle.reset(); }

namespace {

// The line stopped taking bytes: said once, and the port is given up, so the
// operation goes on as with a writer that does not answer.
void LineStopped(Context& ctx) {
    ctx.link.PortHandle.reset();
    Line(ctx, "  -----> The writer or the line stopped taking bytes: check the cable and flow control !!!");
}

}  // namespace

void WritePending(Context& ctx, uint8_t byte) {
    if (!ctx.link.PortHandle) return;
    if (!ctx.link.PortHandle->WriteByte(byte)) {
        LineStopped(ctx);
        return;
    }
    ctx.link.line.Written(ctx.pacer.NowMs() * 1000);
}

void WaitUntilSent(Context& ctx) {
    if (!ctx.link.PortHandle) return;
    // The line's own speed first, then whatever the port still reports.
    ctx.pacer.SleepUntil((ctx.link.line.FreeUs() + 999) / 1000);
    if (!ctx.link.PortHandle->WaitSent(ctx.pacer)) LineStopped(ctx);
}

void AnswerIncomplete(Context& ctx) { ctx.link.answerIncomplete = true; }

int64_t QuietNeededMs(Context& ctx) {
    int64_t need = std::max<int64_t>(kQuietMs, ctx.link.lastWaitMs);
    if (const std::optional<int> body = SelectedBody(ctx)) {
        const WriterState& s = ctx.state;
        const size_t b = static_cast<size_t>(*body);
        for (const int32_t ticks : {s.BNK_DLY[b], s.PRG_DLY[b], s.VER_DLY[b], s.CPY_DLY[b]})
            need = std::max<int64_t>(need, int64_t{ticks} * 10);
    }
    return std::min<int64_t>(need, kQuietLimitMs);
}

namespace {

// How often a wait that watches the line looks at it.
constexpr int64_t kPollMs = 20;

// Waits until nothing has arrived for `quietMs`, counted from `quietFrom`;
// a line that never goes quiet is given kSettleLimitMs beyond that.
// Returns how many bytes came meanwhile. It looks every 20 ms rather than
// sleeping on the port: it runs only after a fault, a late answer would wake
// a sleep on the port once a byte, and the quiet it measures stays the one
// the re-synchronisation has always waited for.
int64_t WaitForQuiet(Context& ctx, int64_t quietFrom, int64_t quietMs) {
    Link& link = ctx.link;
    const int64_t giveUpMs = ctx.pacer.NowMs() + quietMs + kSettleLimitMs;
    int64_t came = 0;
    while (link.PortHandle && ctx.pacer.NowMs() - quietFrom < quietMs && ctx.pacer.NowMs() < giveUpMs) {
        // No longer than the quiet still needed: a quiet line waits `quietMs` exactly.
        ctx.pacer.Sleep(static_cast<int>(std::min(kPollMs, quietFrom + quietMs - ctx.pacer.NowMs())));
        if (!link.PortHandle) break;
        const size_t n = link.PortHandle->TakeArrived().size();
        if (n == 0) continue;
        came += static_cast<int64_t>(n);
        quietFrom = ctx.pacer.NowMs();
    }
    return came;
}

// Reads the 8 version bytes at 0x0400, leaving the state's buffers alone:
// the line is in step when exactly 8 come and they are the ones known (or,
// when none are known yet, they become the known ones).
enum class Step { InStep, Silent, OutOfStep };

Step CheckLineInStep(Context& ctx) {
    Link& link = ctx.link;
    link.PortHandle->DiscardInput();
    // The command byte without Command(), which would come back here.
    PacedSender out(ctx);
    out.Send(static_cast<uint8_t>(Cmd::BlockRead), CommandFor(Cmd::BlockRead).pauseMs);
    for (uint8_t b : BlockReadRequest(kArea, kAddrVersion, kVersionBytes)) out.Send(b, 1);
    WaitUntilSent(ctx);
    ctx.pacer.Sleep(100);
    if (!link.PortHandle) return Step::Silent;
    const std::vector<uint8_t> bytes = link.PortHandle->TakeArrived();
    link.receivedBytes += static_cast<int64_t>(bytes.size());
    if (bytes.empty()) return Step::Silent;
    if (bytes.size() != static_cast<size_t>(kVersionBytes)) return Step::OutOfStep;
    if (link.versionBytes.empty()) link.versionBytes = bytes;
    return bytes == link.versionBytes ? Step::InStep : Step::OutOfStep;
}

// After an answer that was not whole: the line is quiet and in step again,
// or the port is given up.
void Resynchronise(Context& ctx, bool unasked) {
    Link& link = ctx.link;
    const int64_t quietMs = QuietNeededMs(ctx);
    int64_t quietFrom = unasked ? ctx.pacer.NowMs() : link.lastDrainMs;
    Step step = Step::Silent;
    for (int attempt = 0; attempt < 2 && link.PortHandle; ++attempt) {
        // Bytes that come now answer nothing the host still waits for: an
        // answer later than its wait, which the Writer.ini wait may be too
        // short for, or noise.
        if (const int64_t late = WaitForQuiet(ctx, quietFrom, quietMs); late > 0 && !unasked && attempt == 0)
            Diagnose(ctx, ByteCount(late) +
                              " came after the host's wait for them had ended: the writer answered late "
                              "(is the wait in Writer.ini too short for it?)");
        if (!link.PortHandle) break;
        step = CheckLineInStep(ctx);
        if (step == Step::InStep) {
            link.answerIncomplete = false;
            return;
        }
        // A late answer that crossed the check gets a second one; a silent
        // writer does not.
        if (step == Step::Silent) break;
        quietFrom = ctx.pacer.NowMs();
    }
    // The next operation tries again from the start.
    link.answerIncomplete = true;
    if (!link.PortHandle) return;
    link.PortHandle.reset();
    if (step == Step::Silent) {
        Diagnose(ctx, "the writer stopped answering: check the cable and the power");
        Line(ctx, "  -----> The writer does not answer: check the writer and the cable, then start again !!!");
    } else {
        Diagnose(ctx, "a read of the writer's version bytes did not bring them back as before");
        Line(ctx, "  -----> The writer's answers are out of step with the host's requests: check the writer and the "
                  "cable, then start again !!!");
    }
}

}  // namespace

bool DiscardArrived(Context& ctx) {
    Link& link = ctx.link;
    if (!link.PortHandle) return false;
    // Bytes a fast wait took that no drain handed on were not asked for either.
    const bool takenEarly = !link.early.empty() || link.earlyDropped > 0;
    link.early.clear();
    link.earlyDropped = 0;
    const bool unasked = link.PortHandle->DiscardInput() || takenEarly;
    if (link.answerIncomplete || unasked) Resynchronise(ctx, unasked);
    if (link.PortHandle) link.PortHandle->DiscardInput();
    return unasked;
}

int64_t QuietLineBeforeStart(Context& ctx, int64_t quietMs) {
    if (!ctx.link.PortHandle) return 0;
    const int64_t thrown = static_cast<int64_t>(ctx.link.PortHandle->TakeArrived().size());
    return thrown + WaitForQuiet(ctx, ctx.pacer.NowMs(), quietMs);
}

std::optional<int64_t> LateAnswerAfterMs(Context& ctx, int64_t listenMs) {
    Link& link = ctx.link;
    const int64_t deadline = ctx.pacer.NowMs() + listenMs;
    // A port that cannot wake the sleep is looked at every kPollMs.
    while (link.PortHandle && ctx.pacer.NowMs() < deadline) {
        ctx.pacer.SleepUntilArrival(std::min(deadline, ctx.pacer.NowMs() + kPollMs), link.PortHandle->Wake());
        const size_t n = link.PortHandle ? link.PortHandle->TakeArrived().size() : 0;
        if (n == 0) continue;
        link.receivedBytes += static_cast<int64_t>(n);
        return ctx.pacer.NowMs() - link.lastDrainMs;
    }
    return std::nullopt;
}

void TakeEarly(Context& ctx) {
    if (!ctx.link.PortHandle) return;
    const std::vector<uint8_t> bytes = ctx.link.PortHandle->TakeArrived();
    std::vector<uint8_t>& early = ctx.link.early;
    const size_t room = static_cast<size_t>(kReplyCapacity) + 1 - std::min(early.size(), size_t{kReplyCapacity} + 1);
    const size_t kept = std::min(room, bytes.size());
    early.insert(early.end(), bytes.begin(), bytes.begin() + static_cast<long>(kept));
    ctx.link.earlyDropped += static_cast<int64_t>(bytes.size() - kept);
}

void DrainReply(Context& ctx) {
    WriterState& s = ctx.state;
    s.ReplyLength = 0;
    s.ReplyBuffer[0] = 0;
    ctx.link.lastAnswerBytes = 0;
    if (!ctx.link.PortHandle) {
        ctx.link.early.clear();
        ctx.link.earlyDropped = 0;
        return;
    }
    TakeEarly(ctx);
    const std::vector<uint8_t> bytes = std::move(ctx.link.early);
    const int64_t count = static_cast<int64_t>(bytes.size()) + ctx.link.earlyDropped;
    ctx.link.early.clear();
    ctx.link.earlyDropped = 0;
    ctx.link.lastAnswerBytes = count;
    ctx.link.lastDrainMs = ctx.pacer.NowMs();
    ctx.link.receivedBytes += count;
    // A flood is no answer: it is thrown away with whatever follows it, and
    // the reply is empty rather than the previous one.
    if (count > kReplyCapacity) {
        ctx.link.PortHandle->DiscardInput();
        AnswerIncomplete(ctx);
        return;
    }
    if (bytes.empty()) AnswerIncomplete(ctx);
    std::copy(bytes.begin(), bytes.end(), s.ReplyBuffer.begin());
    s.ReplyLength = static_cast<int>(bytes.size());
    s.ReplyBuffer[bytes.size()] = 0;
}

}  // namespace otp
