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

void CommandStep(Context& ctx, Cmd cmd, const std::vector<std::string>& lines, int ticks,
                 std::initializer_list<int> whole) {
    SendCommand(ctx, cmd);
    for (const std::string& line : lines) Line(ctx, line);
    ProgressWait(ctx, ticks, whole);
    DrainReply(ctx);
    ReplyToReadBack(ctx.state);
}

namespace {

// Whether the last drain found more bytes than any answer has; if so, a
// finding says how many came, and the next command waits for the line to
// settle, as after any answer that was not whole.
bool AnswerTooLong(Context& ctx) {
    const int64_t answered = ctx.link.lastAnswerBytes;
    if (answered <= kLongestAnswer) return false;
    Diagnose(ctx, "the writer answered " + std::to_string(answered) + " bytes; no answer is that long");
    AnswerIncomplete(ctx);
    return true;
}

}  // namespace

bool NoteReplyShape(Context& ctx, std::initializer_list<int> lengths) {
    if (AnswerTooLong(ctx)) return true;
    const int n = ctx.state.ReplyLength;
    if (n == 0) {
        if (ctx.link.PortHandle)
            Diagnose(ctx, "no answer from the writer within " +
                              std::to_string(ctx.link.lastDrainMs - ctx.link.commandSentMs) + " ms");
        return false;
    }
    if (lengths.size() == 0) return false;
    std::string expected;
    size_t k = 0;
    for (const int length : lengths) {
        if (length == n) return false;
        expected += (k == 0 ? "" : k + 1 == lengths.size() ? " or " : ", ") + std::to_string(length);
        ++k;
    }
    Diagnose(ctx, "the writer answered " + ByteCount(n) + " where " + expected +
                      (expected == "1" ? " was" : " were") + " expected");
    return false;
}

void AppendConnectError(Context& ctx) {
    Line(ctx, "  -----> OTP Connect Error !!!");
    Line(ctx, "  -----> Please check RS232 cable !!!");
}

}  // namespace otp
