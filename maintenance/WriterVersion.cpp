#include "maintenance/WriterVersion.h"

#include "link/LogLine.h"
#include "link/PortLink.h"
#include "link/Transfers.h"
#include "link/WriterCommands.h"
#include "view/HexText.h"
#include "view/LogLines.h"

namespace otp {

std::string ReadWriterVersion(Context& ctx) {
    ReadWriterBlock(ctx, kArea, kAddrVersion, kVersionBytes);
    std::string text;
    for (int i = 0; i < ctx.state.ReplyLength; ++i) text += FormatHex(ctx.state.ReadBackBuffer[static_cast<size_t>(i)], 1);
    if (ctx.state.ReplyLength == kVersionBytes) {
        ctx.state.WriterVersion = text;
        // What a read of the version proves the line in step with.
        ctx.link.versionBytes.assign(ctx.state.ReplyBuffer.begin(), ctx.state.ReplyBuffer.begin() + kVersionBytes);
    }
    return text;
}

void NoteShortAnswer(Context& ctx, const std::string& what, int received, int requested) {
    if (received == requested) return;
    if (received > 0) {
        Diagnose(ctx, "the writer answered " + ByteCount(received) + " where " + std::to_string(requested) + " were asked");
        return;
    }
    if (!ctx.link.PortHandle) return;  // given up: a finding already says why
    if (const std::optional<int64_t> late = LateAnswerAfterMs(ctx, kLateListenMs))
        Diagnose(ctx, "the " + what + " answer came " + std::to_string(*late) + " ms after the wait");
    else
        Diagnose(ctx, "no " + what + " answer within " + std::to_string(ctx.pacer.NowMs() - ctx.link.commandSentMs) +
                          " ms");
}

Outcome Version1Click(Context& ctx) {
    ctx.view.ClearPane(Control::RichEdit2);
    OpenPort(ctx);
    ctx.pacer.Sleep(50);
    const std::string version = ReadWriterVersion(ctx);
    NoteShortAnswer(ctx, "version", ctx.state.ReplyLength, kVersionBytes);
    ClosePort(ctx);
    Line(ctx, "Version : " + version);
    Line(ctx, ReplyLengthLine(ctx.state.ReplyLength));
    return ctx.state.ReplyLength == kVersionBytes ? Outcome::Done : Outcome::Failed;
}

}  // namespace otp
