#include "operations/Selectors.h"

#include <algorithm>
#include <functional>
#include <string>

#include "config/ApplyBodyInfo.h"
#include "link/LogLine.h"
#include "link/PortLink.h"
#include "link/Transfers.h"
#include "link/WriterCommands.h"
#include "operations/CommandStep.h"
#include "view/HexText.h"
#include "view/LogLines.h"

namespace otp {
namespace {

void SetBit(uint8_t& byte, uint8_t bit, bool on) { byte = static_cast<uint8_t>(on ? (byte | bit) : (byte & ~bit)); }

// A logged read-back; Failed when it came back short or no two reads
// agreed. The host takes the row as the writer's, and sends it back with
// the next change: a byte the line changed on its way here would become
// the writer's own, so it is read twice.
Outcome LoggedReadBack(Context& ctx) {
    const BlockRead read = ReadBodyInfo(ctx, 2, Reads::Confirmed);
    if (!read.complete) Line(ctx, ShortReadLine("Option", read.received, read.requested));
    return read.Taken() ? Outcome::Done : Outcome::Failed;
}

// Writes row 0 and reads it back into the lower pane; Failed unless the
// writer holds the `judged` bits as sent (`what` they set, for the finding).
// The rest is the writer's to keep or change: its read-back wins.
Outcome WriteAndCheck(Context& ctx, int pauseMs, const BodyBits& judged, const std::string& what) {
    const BodyInfoRow sent = ctx.state.BodyInfo[0];
    WriteBodyInfo(ctx);
    ctx.pacer.Sleep(pauseMs);
    if (LoggedReadBack(ctx) != Outcome::Done) return Outcome::Failed;
    if (BodyInfoHeldAsSent(ctx, sent, judged)) return Outcome::Done;
    Diagnose(ctx, "the writer did not keep " + what);
    return Outcome::Failed;
}

std::string OnOff(bool on) { return on ? "ON" : "OFF"; }

}  // namespace

bool IsBankSearch(int index, bool twoBanks) { return twoBanks ? index > 1 : index > 7; }

bool IsLastUsedSearch(int index, bool twoBanks) { return twoBanks ? index == 2 : index == 8; }

Outcome ComboBox1Change(Context& ctx) {
    WriterState& s = ctx.state;
    const std::optional<int> body = SelectedBody(ctx);
    ctx.view.ClearPane(Control::RichEdit1);
    ctx.view.ClearPane(Control::RichEdit2);
    OpenPort(ctx);
    Outcome outcome = Outcome::Refused;
    if (body) {
        // The writer's image is read by the new body's layout and length from
        // now on: the host's copy of it no longer describes it (a Load or an
        // Upload makes it known again).
        ctx.link.verifiedImage.reset();
        TakeBodyRow(s, *body);
        outcome = WriteAndCheck(ctx, 0, HostSetBits(), "the body description sent");
    } else {
        ctx.view.ShowNotice(kBodyNotAvailable);
    }
    ClosePort(ctx);
    ApplyBodyInfo(s, ctx.view);
    return outcome;
}

namespace {

// The lock and rolling-code changes: row 0 is refreshed from the writer,
// `edit` changes it, it goes back with a pause of `pauseMs` and is read back
// into the lower pane; the selectors then follow it.
Outcome EditBodyFlags(Context& ctx, int pauseMs, uint8_t flag, const std::string& what,
                      const std::function<void(WriterState&)>& edit) {
    WriterState& s = ctx.state;
    ctx.view.ClearPane(Control::RichEdit2);
    OpenPort(ctx);
    const BodyInfoRow before = s.BodyInfo[0];
    // The row goes back to the writer whole: a byte the line changed on its
    // way here would be written back as the writer's own, so it is read twice.
    const BlockRead read = ReadBodyInfo(ctx, 0, Reads::Confirmed);
    Outcome outcome = Outcome::Failed;
    if (read.Taken()) {
        edit(s);
        outcome = WriteAndCheck(ctx, pauseMs, OnlyBits(kBodyFlagsByte, flag), what);
    } else {
        // Only the writer's own description is edited and sent back; a part
        // of it with the host's old bytes behind would change other options.
        s.BodyInfo[0] = before;
        if (!read.complete) Line(ctx, ShortReadLine("Option", read.received, read.requested));
    }
    ClosePort(ctx);
    ApplyBodyInfo(ctx.state, ctx.view);
    return outcome;
}

}  // namespace

Outcome ComboBox4Change(Context& ctx) {
    const bool on = ctx.view.GetSelection(Control::ComboBox4) != 0;
    const Outcome outcome = EditBodyFlags(ctx, 30, kFlagLockOn, "the lock " + OnOff(on), [on](WriterState& s) {
        uint8_t& flags = s.BodyInfo[0][kBodyFlagsByte];
        SetBit(flags, kFlagLockOn, on);
        // The option bit is the lock setting, inverted for a body whose polarity bit is set.
        SetBit(s.OptionBytes[0], 0x01, on != static_cast<bool>(flags & kFlagLockPolarity));
    });
    const BodyInfoRow& b = ctx.state.BodyInfo[0];
    ctx.view.SetFieldText(Control::Edit1, FormatHex(b[2] + 256 * b[3], 4));
    return outcome;
}

Outcome ComboBox3Change(Context& ctx) {
    const bool on = ctx.view.GetSelection(Control::ComboBox3) != 0;
    return EditBodyFlags(ctx, 50, kFlagRollingOn, "the rolling code " + OnOff(on),
                         [on](WriterState& s) { SetBit(s.BodyInfo[0][kBodyFlagsByte], kFlagRollingOn, on); });
}

Outcome ComboBox5Change(Context& ctx) {
    WriterState& s = ctx.state;
    BodyInfoRow& b = s.BodyInfo[0];
    const int sel = ctx.view.GetSelection(Control::ComboBox5);
    if (sel < 0) return Outcome::Refused;  // no item picked: nothing to change
    ctx.view.ClearPane(Control::RichEdit2);
    OpenPort(ctx);
    const bool two = b[kBodyCapsByte] & kCapTwoBanks;
    Outcome outcome = Outcome::Done;
    if (IsBankSearch(sel, two)) {
        SetBit(b[kBodyFlagsByte], kFlagBankSearch, true);
        SetBit(b[kBodyFlagsByte], kFlagSearchFirstUnused, !IsLastUsedSearch(sel, two));
        WriteBodyInfo(ctx);
        ctx.pacer.Sleep(30);
        SendCommand(ctx, Cmd::BankSearch);
        Line(ctx, "Search Bank execution ................");
        DrainReply(ctx);
        ReplyToReadBack(s);
        NoteReplyShape(ctx, {1});
        if (s.ReplyLength != 1 || s.ReplyBuffer[0] != 0x00) {
            ctx.view.SetSelection(Control::ComboBox5, 0);
            Line(ctx, "  -----> OTP Search Bank Error !!!");
            Line(ctx, "  -----> IC put on socket error or jumper setting error !!!");
            outcome = Outcome::Failed;
        } else {
            outcome = LoggedReadBack(ctx);
            Line(ctx, "Bank search finish, and Bank switch to Bank_" + FormatHex(BodyBank(b), 1));
            ctx.view.SetSelection(Control::ComboBox5, BodyBank(b));
        }
    } else {
        SetBit(b[kBodyFlagsByte], kFlagBankSearch, false);
        SetBodyBank(b, sel);
        outcome = WriteAndCheck(ctx, 30, OnlyBits(kBodyBankByte, kBankBits), "Bank " + std::to_string(sel));
        Line(ctx, "Bank switch to Bank_" + FormatHex(BodyBank(b), 1));
        ctx.view.SetSelection(Control::ComboBox5, BodyBank(b));
    }
    ClosePort(ctx);
    return outcome;
}

}  // namespace otp
