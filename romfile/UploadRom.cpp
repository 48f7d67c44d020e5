#include "romfile/UploadRom.h"

#include "config/ApplyBodyInfo.h"
#include "link/PortLink.h"
#include "link/Transfers.h"
#include "link/WriterCommands.h"
#include "view/LogLines.h"

namespace otp {
namespace {

// Reads the writer's body description, option bytes and image into the
// state; the first read that falls short ends the upload.
BlockRead ReadHeldData(Context& ctx) {
    WriterState& s = ctx.state;
    BlockRead read = ReadBodyInfo(ctx, 0);
    if (!read.complete) return read;
    // The image is read in the width of the body the writer holds, so a
    // writer holding the other width is read whole.
    SetLayoutFromBodyInfo(s);
    read = ReadOptionBytes(ctx, 0, false);
    if (!read.complete) return read;
    return ReadObjectBack(ctx, 0, false);
}

}  // namespace

Outcome UploadtoWriter1Click(Context& ctx) {
    WriterState& s = ctx.state;
    ctx.view.ClearPane(Control::RichEdit1);
    ctx.view.ClearPane(Control::RichEdit2);
    const HeldImage before = HeldImage::Of(s);
    OpenPort(ctx);
    const BlockRead read = ReadHeldData(ctx);
    ClosePort(ctx);
    if (!read.complete) {
        // Nothing half-adopted: the host keeps what it held before.
        before.RestoreInto(s);
        ShowTotalChecksum(ctx);
        ctx.view.AppendLine(Control::RichEdit1, ShortReadLine("Upload", read.received, read.requested));
        return Outcome::Failed;
    }
    ApplyBodyInfo(s, ctx.view);
    return Outcome::Done;
}

}  // namespace otp
