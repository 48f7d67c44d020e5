#include "operations/TestCode.h"

#include "link/LogLine.h"
#include "link/PortLink.h"
#include "link/WriterCommands.h"
#include "operations/CommandStep.h"
#include "view/LogLines.h"
#include "view/HexText.h"

namespace otp {
namespace {

uint8_t Caps(const Context& ctx) { return ctx.state.BodyInfo[0][kBodyCapsByte]; }

}  // namespace

Outcome Read1Click(Context& ctx) {
    WriterState& s = ctx.state;
    ctx.view.ClearPane(Control::RichEdit2);
    if (!(Caps(ctx) & kCapTestCode)) {
        Line(ctx, "  -----> This Body no Test code Inside !!!");
        return Outcome::Refused;
    }
    OpenPort(ctx);
    SendCommand(ctx, Cmd::TestCodeRead);
    DrainReply(ctx);
    Outcome outcome = Outcome::Done;
    if (s.ReplyLength < 2) {
        // The line blames the chip; the findings say what came from the writer.
        NoteReplyShape(ctx, {});
        if (s.ReplyLength == 1) Diagnose(ctx, "the writer answered 1 byte; a test code has 2 or more");
        Line(ctx, "  -----> IC put on socket error or jumper setting error !!!");
        outcome = Outcome::Failed;
    } else {
        // Words, low byte first; an odd last byte stays alone in its element.
        for (int i = 0; i < s.ReplyLength; ++i) {
            const int value = s.ReplyBuffer[static_cast<size_t>(i)];
            int32_t& word = s.ReadBackBuffer[static_cast<size_t>(i / 2)];
            if (i % 2 == 0) word = value;
            else word += 256 * value;
        }
        DumpValues(ctx.view, s.ReadBackBuffer.data(), s.ReplyLength / 2, 8, 4, 0, 1);
        Line(ctx, ReplyLengthLine(s.ReplyLength));
    }
    ClosePort(ctx);
    return outcome;
}

Outcome Write1Click(Context& ctx) {
    WriterState& s = ctx.state;
    ctx.view.ClearPane(Control::RichEdit2);
    if (!ctx.view.AskYesNo("Please confirm IC body is right !!!")) {
        Diagnose(ctx, "the test-code write was not confirmed; nothing was sent");
        return Outcome::Refused;
    }
    if (!(Caps(ctx) & kCapTestCode)) {
        Line(ctx, "  -----> This Body don't need write Test code !!!");
        return Outcome::Refused;
    }
    if (Caps(ctx) & kCapMtp) {
        Line(ctx, "  -----> The body is MTP and does not allow write test code !!!");
        return Outcome::Refused;
    }
    Line(ctx, "Test Code write Command execution ................");
    OpenPort(ctx);
    SendCommand(ctx, Cmd::TestCodeWrite);
    DrainReply(ctx);
    s.ReadBackBuffer[0] = s.ReplyBuffer[0];
    NoteReplyShape(ctx, {1});
    const bool ok = s.ReplyLength == 1 && s.ReplyBuffer[0] == 0x00;
    Line(ctx, ok ? "  -----> Test Code Write OK !!!" : "  -----> Test Code Write Fail !!!");
    ClosePort(ctx);
    return ok ? Outcome::Done : Outcome::Failed;
}

}  // namespace otp
