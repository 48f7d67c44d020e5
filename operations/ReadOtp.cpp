#include "operations/ReadOtp.h"

#include <algorithm>

#include "link/LogLine.h"
#include "link/PortLink.h"
#include "link/Transfers.h"
#include "link/WriterCommands.h"
#include "operations/CommandStep.h"
#include "view/HexText.h"
#include "view/LogLines.h"

namespace otp {
namespace {

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

// The IC's 16 option bytes from 0xBF80, dumped and summed. A short read
// shows what arrived and says what is missing.
bool ShowIcOptions(Context& ctx) {
    WriterState& s = ctx.state;
    const BlockRead read = ReadWriterBlock(ctx, kArea, kAddrOtpOptions, kOptionWireBytes);
    DumpValues(ctx.view, s.ReadBackBuffer.data(), read.complete ? kOptionWireBytes : std::min(read.received, kOptionWireBytes),
               16, 2, 0, 1);
    Line(ctx, ReplyLengthLine(s.ReplyLength));
    if (!read.complete) {
        Line(ctx, ShortReadLine("Read", read.received, read.requested));
        return false;
    }
    int sum = 0;
    for (int i = 0; i < kOptionWireBytes; ++i) sum += s.ReadBackBuffer[static_cast<size_t>(i)];
    Line(ctx, OptionChecksumLine(sum));
    return true;
}

// The IC's program memory from 0x8000, in the layout of the body.
bool ShowIcObject(Context& ctx, int offset) {
    WriterState& s = ctx.state;
    const int bytesPerValue = std::max(s.ValueDigits / 2, 1);
    int n = BodyObjectLength(s.BodyInfo[0]);
    // Never more than ReadBackBuffer holds, whatever the description claims.
    n = std::min(n, kReadBackSize / bytesPerValue);
    const int bytes = n * bytesPerValue;
    const BlockRead read = ReadWriterBlock(ctx, kArea, kAddrOtpImage, bytes);
    // Only whole values that arrived are shown.
    const int shown = read.complete ? n : std::min(read.received, bytes) / bytesPerValue;
    if (s.ValueDigits == 4) FoldIntoWords(s, shown);
    DumpValues(ctx.view, s.ReadBackBuffer.data(), shown, s.RowWidth, s.ValueDigits, offset, 1);
    Line(ctx, ReplyLengthLine(bytes));
    if (!read.complete) {
        Line(ctx, ShortReadLine("Read", read.received, read.requested));
        return false;
    }
    int sum = 0;
    for (int i = 0; i < n; ++i) sum = (sum + s.ReadBackBuffer[static_cast<size_t>(i)]) & 0xFFFF;
    Line(ctx, "Object Checksum = " + FormatHex(sum, 4));
    return true;
}

// A chip that reported itself locked (01) or blank (02) is still read and
// shown, as a chip locked after programming reads; but what the writer could
// read of it is not the chip's own program, and no checksum is the chip's.
void NoteChipsOwnStatus(Context& ctx, int status) {
    Diagnose(ctx, std::string("the chip reported itself ") + (status == 1 ? "locked (status 01)" : "blank (status 02)"));
    Diagnose(ctx, "the values shown are what the writer could read");
    ctx.findings.notTheChipsValues = true;
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
    // A reply longer than any answer is no answer: nothing is read after it.
    const bool tooLong = NoteReplyShape(ctx);
    if (s.ReplyLength == 0 || tooLong) {
        AppendConnectError(ctx);
        outcome = Outcome::Failed;
    } else if (s.ReplyLength == 1 && status >= 3) {
        Line(ctx, "  -----> OTP Read Error !!!");
        Line(ctx, status == 3 ? "  -----> IC no put on socket or jumper setting error !!!"
                              : "  -----> IC Body code (Test code) compare error !!!");
        outcome = Outcome::Failed;
    } else {
        if (s.ReplyLength == 1 && status != 0) NoteChipsOwnStatus(ctx, status);
        if (s.ReplyLength >= 2) ChecksumLines(ctx);
        const bool whole = ShowIcOptions(ctx) && ShowIcObject(ctx, s.OFFSET[static_cast<size_t>(*body)]);
        if (!whole) outcome = Outcome::Failed;
    }
    ClosePort(ctx);
    return outcome;
}

}  // namespace otp
