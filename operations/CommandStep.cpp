#include "operations/CommandStep.h"

#include "link/LogLine.h"
#include "link/PortLink.h"
#include "link/Transfers.h"

namespace otp {

std::optional<int> BodyForWaits(Context& ctx) {
    if (const std::optional<int> body = SelectedBody(ctx)) return body;
    ctx.view.ShowNotice(kBodyNotAvailable);
    return std::nullopt;
}

void ReplyToReadBack(WriterState& s) {
    for (int i = 0; i < s.ReplyLength && i < kReadBackSize; ++i)
        s.ReadBackBuffer[static_cast<size_t>(i)] = s.ReplyBuffer[static_cast<size_t>(i)];
}

void CommandStep(Context& ctx, Cmd cmd, const std::vector<std::string>& lines, int ticks) {
    SendCommand(ctx, cmd);
    for (const std::string& line : lines) Line(ctx, line);
    ProgressWait(ctx, ticks);
    DrainReply(ctx);
    ReplyToReadBack(ctx.state);
}

bool AnswerTooLong(Context& ctx) {
    const int64_t answered = ctx.link.lastAnswerBytes;
    if (answered <= kLongestAnswer) return false;
    Diagnose(ctx, "the writer answered " + std::to_string(answered) + " bytes; no answer is that long");
    AnswerIncomplete(ctx);
    return true;
}

void AppendConnectError(Context& ctx) {
    Line(ctx, "  -----> OTP Connect Error !!!");
    Line(ctx, "  -----> Please check RS232 cable !!!");
}

}  // namespace otp
