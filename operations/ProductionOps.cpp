#include "operations/ProductionOps.h"

#include "link/LogLine.h"
#include "link/PortLink.h"
#include "link/Transfers.h"
#include "operations/CommandStep.h"
#include "view/HexText.h"

namespace otp {
namespace {

constexpr int kRollingReplyLength = 17;
constexpr int kRollingWords = 8;

// The lines of a blank-check verdict; true when the IC is blank.
bool JudgeBlankCheck(Context& ctx) {
    NoteReplyShape(ctx, {1});
    const bool ok = BlankCheckOk(ctx.state);
    Line(ctx, ok ? "  -----> OTP Blank Check OK !!!" : "  -----> OTP Blank Check Fail !!!");
    return ok;
}

// What follows every program wait: the finish line, the verify verdict and
// the rolling code. True when the verdict is OK.
bool FinishProgram(Context& ctx) {
    Line(ctx, "  -----> OTP Program Finish !!!");
    Line(ctx, "Verify ................");
    NoteReplyShape(ctx, {1, kRollingReplyLength});
    const bool ok = ProgramOk(ctx.state);
    Line(ctx, ok ? "  -----> OTP Verify OK !!!" : "  -----> OTP Verify Fail !!!");
    ShowRollingCode(ctx);
    return ok;
}

Outcome Verdict(bool ok) { return ok ? Outcome::Done : Outcome::Failed; }

// The length of a good program's answer: its status, after the rolling code
// when that is on. A fast wait ends when it is in.
int ProgramAnswerLength(const WriterState& s) {
    return (s.BodyInfo[0][kBodyFlagsByte] & kFlagRollingOn) ? kRollingReplyLength : 1;
}

// A chip is programmed or verified only from an image the host has seen the
// writer hold; otherwise the notice says what to do.
bool ImageKnown(Context& ctx) {
    if (ctx.link.verifiedImage) return true;
    ctx.view.ShowNotice(kImageNotVerified);
    return false;
}

}  // namespace

bool BlankCheckOk(const WriterState& s) { return s.ReplyLength == 1 && s.ReplyBuffer[0] == 0x00; }

bool ProgramOk(const WriterState& s) {
    return (s.ReplyLength == 1 && s.ReplyBuffer[0] == 0x00) ||
           (s.ReplyLength == kRollingReplyLength && s.ReplyBuffer[16] == 0x00);
}

// A few bytes after the status are the writer's own; more than any answer
// has is no answer.
bool VerifyOk(const WriterState& s) {
    return s.ReplyLength >= 1 && s.ReplyLength <= kLongestAnswer && s.ReplyBuffer[0] == 0x00;
}

void ShowRollingCode(Context& ctx) {
    WriterState& s = ctx.state;
    const BodyInfoRow& b = s.BodyInfo[0];
    if (!(b[kBodyFlagsByte] & kFlagRollingOn)) return;
    if (s.ReplyLength != kRollingReplyLength) {
        // The chip may hold a code the host never saw: say so, never silently.
        if (s.ReplyLength > 0) {
            ctx.findings.rollingCodeNotReported = true;
            Diagnose(ctx, "the writer reported no rolling code");
        }
        return;
    }
    Line(ctx, "Rolling code is ....................");
    const int base = (b[kBodyCapsByte] & kCapRollingAt1F8) ? 0x1F8 : 0x3F8;
    for (int k = 0; k < kRollingWords; ++k) {
        const int word = s.ReplyBuffer[static_cast<size_t>(2 * k)] + 256 * s.ReplyBuffer[static_cast<size_t>(2 * k + 1)];
        s.RomImage[static_cast<size_t>(base + k)] = word;
        s.ReadBackBuffer[static_cast<size_t>(k)] = word;
    }
    DumpValues(ctx.view, s.ReadBackBuffer.data(), kRollingWords, kRollingWords, 4, base, 1);
    ShowTotalChecksum(ctx);
}

namespace {

// Blank Check, Program and Verify: the command goes out before its lines;
// `judge` writes the verdict lines and tells whether they are OK.
Outcome SingleCommand(Context& ctx, Cmd cmd, const std::vector<std::string>& lines,
                      const std::array<int32_t, kMaxBodies>& waits, bool (*judge)(Context&), int answerLength) {
    const auto body = BodyForWaits(ctx);
    if (!body) return Outcome::Refused;
    if (cmd != Cmd::BlankCheck && !ImageKnown(ctx)) return Outcome::Refused;
    ctx.view.ClearPane(Control::RichEdit2);
    OpenPort(ctx);
    CommandStep(ctx, cmd, lines, waits[static_cast<size_t>(*body)], {answerLength});
    const bool ok = judge(ctx);
    ClosePort(ctx);
    return Verdict(ok);
}

bool JudgeVerify(Context& ctx) {
    NoteReplyShape(ctx);
    const bool ok = VerifyOk(ctx.state);
    Line(ctx, ok ? "  -----> OTP Verify OK !!!" : "  -----> OTP Verify Fail !!!");
    return ok;
}

}  // namespace

Outcome Button2Click(Context& ctx) {
    return SingleCommand(ctx, Cmd::BlankCheck,
                         {"Blank Check Command execution ................", "Blank Check ................"},
                         ctx.state.BNK_DLY, JudgeBlankCheck, 1);
}

Outcome Button3Click(Context& ctx) {
    return SingleCommand(ctx, Cmd::Program, {"Program Command execution ................", "Programming ................"},
                         ctx.state.PRG_DLY, FinishProgram, ProgramAnswerLength(ctx.state));
}

Outcome Button4Click(Context& ctx) {
    return SingleCommand(ctx, Cmd::Verify, {"Verify Command execution ................", "Verify ................"},
                         ctx.state.VER_DLY, JudgeVerify, 1);
}

Outcome Button1Click(Context& ctx) {
    const auto body = BodyForWaits(ctx);
    if (!body) return Outcome::Refused;
    if (!ImageKnown(ctx)) return Outcome::Refused;
    const size_t row = static_cast<size_t>(*body);
    ctx.view.ClearPane(Control::RichEdit2);
    OpenPort(ctx);
    // Auto announces itself before it sends anything.
    Line(ctx, "Auto Command execution ................");
    CommandStep(ctx, Cmd::BlankCheck, {"Blank Check ................"}, ctx.state.BNK_DLY[row], {1});
    bool ok = JudgeBlankCheck(ctx);
    if (ok) {
        CommandStep(ctx, Cmd::Program, {"Programming ................"}, ctx.state.PRG_DLY[row],
                    {ProgramAnswerLength(ctx.state)});
        ok = FinishProgram(ctx);
    }
    ClosePort(ctx);
    return Verdict(ok);
}

}  // namespace otp
