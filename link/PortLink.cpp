#include "link/PortLink.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "link/LogLine.h"

namespace otp {

void OpenPort(Context& ctx) {
    WriterState& s = ctx.state;
    s.PortFailed = false;
    ctx.link.PortHandle.reset();
    const OpenResult result = ctx.link.opener.Open(s.PortName, ctx.link.PortHandle);
    ctx.link.line.Reset();
    if (result == OpenResult::Ok && ctx.link.PortHandle) {
        // Whatever an earlier run left on the line is no answer to us.
        DiscardArrived(ctx);
        return;
    }
    ctx.link.PortHandle.reset();
    s.PortFailed = true;
    ctx.view.ShowErrorBox("ERROR", OpenErrorText(result, ctx.link.opener.LastFailure()), false);
}

std::string OpenErrorText(OpenResult result, const OpenFailure& failure) {
    std::string text = result == OpenResult::SettingError ? "RS232 setting error!!!" : "RS232 open error!!!";
    if (failure.device.empty()) return text;
    const std::string reason = !failure.reason.empty() ? failure.reason
                               : failure.error != 0   ? std::strerror(failure.error)
                                                      : "the reason is not known";
    text += "\n" + failure.device + ": " + reason;
    // Serial devices belong to the group dialout, which a fresh user is not in.
    if (failure.error == EACCES || failure.error == EPERM)
        text += "\nLet your user use serial ports: sudo usermod -aG dialout $USER, then log in again.";
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

void DiscardArrived(Context& ctx) {
    Link& link = ctx.link;
    if (!link.PortHandle) return;
    const bool unasked = link.PortHandle->DiscardInput();
    if (link.answerIncomplete || unasked) {
        constexpr int kPollMs = 20;
        const int64_t start = ctx.pacer.NowMs();
        int64_t quietFrom = unasked ? start : link.lastDrainMs;
        while (link.PortHandle && ctx.pacer.NowMs() - quietFrom < kQuietMs &&
               ctx.pacer.NowMs() - start < kSettleLimitMs) {
            ctx.pacer.Sleep(kPollMs);
            if (!link.PortHandle->TakeArrived().empty()) quietFrom = ctx.pacer.NowMs();
        }
        link.answerIncomplete = false;
    }
    link.PortHandle->DiscardInput();
}

void DrainReply(Context& ctx) {
    WriterState& s = ctx.state;
    s.ReplyLength = 0;
    s.ReplyBuffer[0] = 0;
    ctx.link.lastAnswerBytes = 0;
    if (!ctx.link.PortHandle) return;
    const std::vector<uint8_t> bytes = ctx.link.PortHandle->TakeArrived();
    ctx.link.lastAnswerBytes = static_cast<int64_t>(bytes.size());
    ctx.link.lastDrainMs = ctx.pacer.NowMs();
    ctx.link.receivedBytes += static_cast<int64_t>(bytes.size());
    // A flood is no answer: it is thrown away with whatever follows it, and
    // the reply is empty rather than the previous one.
    if (bytes.size() > static_cast<size_t>(kReplyCapacity)) {
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
