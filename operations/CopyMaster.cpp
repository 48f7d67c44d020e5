#include "operations/CopyMaster.h"

#include "config/ApplyBodyInfo.h"
#include "link/LogLine.h"
#include "link/PortLink.h"
#include "link/Transfers.h"
#include "link/WriterCommands.h"
#include "operations/CommandStep.h"
#include "view/LogLines.h"

namespace otp {
namespace {

const char* CopyFailReason(int status) {
    switch (status) {
        case 0x01: return "  -----> Master OTP has been Lock !!!";
        case 0x02: return "  -----> Master OTP is blank or no put on socket !!!";
        case 0x03: return "  -----> IC no put on socket or jumper setting error !!!";
        default: return "  -----> IC Body code (Test code) compare error !!!";
    }
}

// Reads the copy's options, image and body description into the state, each
// confirmed; the first read that falls short or is not confirmed ends the
// take-over.
BlockRead ReadCopy(Context& ctx) {
    BlockRead read = ReadOptionBytes(ctx, 0, false, Reads::Confirmed);
    if (!read.Taken()) return read;
    // The image count is that of the description held before the copy.
    const BodyInfoRow before = ctx.state.BodyInfo[0];
    read = ReadObjectBack(ctx, 0, false, Reads::Confirmed);
    if (!read.Taken()) return read;
    read = ReadBodyInfo(ctx, 0, Reads::Confirmed);
    if (!read.Taken()) return read;
    // A master that describes its image by another layout or length than
    // that description has it read again by its own: else the host would
    // take a part of it, or more, for the whole.
    if (!SameImageShape(ctx.state.BodyInfo[0], before)) {
        SetLayoutFromBodyInfo(ctx.state);
        read = ReadObjectBack(ctx, 0, false, Reads::Confirmed);
    }
    return read;
}

// The writer's copy becomes the host's: options, image, body description,
// selectors and sums; or, when any of it fell short, none of it.
bool TakeOverCopy(Context& ctx) {
    WriterState& s = ctx.state;
    const HeldImage before = HeldImage::Of(s);
    const BlockRead read = ReadCopy(ctx);
    if (!read.Taken()) {
        // Reads that did not agree have their finding and no line.
        before.RestoreInto(s);
        ShowTotalChecksum(ctx);
        if (!read.complete) Line(ctx, ShortReadLine("Copy", read.received, read.requested));
        return false;
    }
    ApplyBodyInfo(s, ctx.view);
    OptionChecksum(s, 8);
    ObjectChecksum(s, s.ObjectLength);
    ShowTotalChecksum(ctx);
    return true;
}

}  // namespace

Outcome Button5Click(Context& ctx) {
    WriterState& s = ctx.state;
    const auto body = BodyForWaits(ctx);
    if (!body) return Outcome::Refused;
    ctx.view.ClearPane(Control::RichEdit1);
    ctx.view.ClearPane(Control::RichEdit2);
    ctx.view.SetFieldText(Control::Edit2, "");
    OpenPort(ctx);
    SendCommand(ctx, Cmd::Copy);
    ProgressWait(ctx, s.CPY_DLY[static_cast<size_t>(*body)], {1});
    DrainReply(ctx);

    Outcome outcome = Outcome::Done;
    NoteReplyShape(ctx, {1});
    if (s.ReplyLength != 1) {
        AppendConnectError(ctx);
        outcome = Outcome::Failed;
    } else if (s.ReplyBuffer[0] != 0x00) {
        Line(ctx, "  -----> OTP Copy Fail !!!");
        Line(ctx, CopyFailReason(s.ReplyBuffer[0]));
        outcome = Outcome::Failed;
    } else if (!TakeOverCopy(ctx)) {
        outcome = Outcome::Failed;
    }
    ClosePort(ctx);
    // A copy that did not end well may have left the writer with a part of
    // the master, or anything: it is known only after a good one.
    if (outcome == Outcome::Done) NoteImageVerified(ctx, "");
    else ctx.link.verifiedImage.reset();
    return outcome;
}

}  // namespace otp
