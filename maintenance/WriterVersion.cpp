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
