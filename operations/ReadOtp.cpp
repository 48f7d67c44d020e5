#include "operations/ReadOtp.h"

#include <algorithm>

#include "link/PortLink.h"
#include "link/Transfers.h"
#include "link/WriterCommands.h"
#include "operations/CommandStep.h"
#include "view/HexText.h"
#include "view/LogLines.h"

namespace otp {
namespace {

void Line(Context& ctx, const std::string& text) { ctx.view.AppendLine(Control::RichEdit2, text); }

// "Program Code checksum = " with the first two reply bytes, and from the
// third byte on a second line in brackets.
void ChecksumLines(Context& ctx) {
    const WriterState& s = ctx.state;
    std::string line = "Program Code checksum = ";
    for (int i = 0; i < s.ReplyLength; ++i) {
        if (i == 2) {
            Line(ctx, line);
            line = "[";
        }
        line += FormatHex(s.ReplyBuffer[static_cast<size_t>(i)], 2);
    }
    if (s.ReplyLength >= 3) line += "]";
    Line(ctx, line);
}

// The IC's 16 option bytes from 0xBF80, dumped and summed.
void ShowIcOptions(Context& ctx) {
    WriterState& s = ctx.state;
    ReadWriterBlock(ctx, kArea, kAddrOtpOptions, kOptionWireBytes);
    DumpValues(ctx.view, s.ReadBackBuffer.data(), kOptionWireBytes, 16, 2, 0, 1);
    Line(ctx, ReplyLengthLine(s.ReplyLength));
    int sum = 0;
    for (int i = 0; i < kOptionWireBytes; ++i) sum += s.ReadBackBuffer[static_cast<size_t>(i)];
    Line(ctx, OptionChecksumLine(sum));
}

// The IC's program memory from 0x8000, in the layout of the body.
void ShowIcObject(Context& ctx, int offset) {
    WriterState& s = ctx.state;
    const int bytesPerValue = s.ValueDigits / 2;
    int n = BodyObjectLength(s.BodyInfo[0]);
    // Never more than ReadBackBuffer holds, whatever the description claims.
    n = std::min(n, kReadBackSize / std::max(bytesPerValue, 1));
    const int bytes = n * bytesPerValue;
    ReadWriterBlock(ctx, kArea, kAddrOtpImage, bytes);
    if (s.ValueDigits == 4) FoldIntoWords(s, n);
    DumpValues(ctx.view, s.ReadBackBuffer.data(), n, s.RowWidth, s.ValueDigits, offset, 1);
    Line(ctx, ReplyLengthLine(bytes));
    int sum = 0;
    for (int i = 0; i < n; ++i) sum = (sum + s.ReadBackBuffer[static_cast<size_t>(i)]) & 0xFFFF;
    Line(ctx, "Object Checksum = " + FormatHex(sum, 4));
}

}  // namespace

Outcome Button6Click(Context& ctx) {
    WriterState& s = ctx.state;
    const auto body = BodyForWaits(ctx);
    if (!body) return Outcome::Refused;
    ctx.view.ClearPane(Control::RichEdit2);
    OpenPort(ctx);
    SendCommand(ctx, Cmd::ReadOtp);
    ProgressWait(ctx, s.BNK_DLY[static_cast<size_t>(*body)]);
    DrainReply(ctx);
    const int status = s.ReplyBuffer[0];

    Outcome outcome = Outcome::Done;
    if (s.ReplyLength == 0) {
        AppendConnectError(ctx);
        outcome = Outcome::Failed;
    } else if (s.ReplyLength == 1 && status >= 3) {
        Line(ctx, "  -----> OTP Read Error !!!");
        Line(ctx, status == 3 ? "  -----> IC no put on socket or jumper setting error !!!"
                              : "  -----> IC Body code (Test code) compare error !!!");
        outcome = Outcome::Failed;
    } else {
        if (s.ReplyLength >= 2) ChecksumLines(ctx);
        ShowIcOptions(ctx);
        ShowIcObject(ctx, s.OFFSET[static_cast<size_t>(*body)]);
    }
    ClosePort(ctx);
    return outcome;
}

}  // namespace otp
