#include "romfile/UploadRom.h"

#include "config/ApplyBodyInfo.h"
#include "link/PortLink.h"
#include "link/Transfers.h"
#include "link/WriterCommands.h"
#include "view/LogLines.h"

namespace otp {
namespace {

// Reads the writer's body description, option bytes and image into the
// state, each confirmed; the first read that falls short or is not
// confirmed ends the upload.
BlockRead ReadHeldData(Context& ctx) {
    WriterState& s = ctx.state;
    BlockRead read = ReadBodyInfo(ctx, 0, Reads::Confirmed);
    if (!read.Taken()) return read;
    // The image is read in the width of the body the writer holds, so a
    // writer holding the other width is read whole.
    SetLayoutFromBodyInfo(s);
    read = ReadOptionBytes(ctx, 0, false, Reads::Confirmed);
    if (!read.Taken()) return read;
    return ReadObjectBack(ctx, 0, false, Reads::Confirmed);
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
    if (!read.Taken()) {
        // Nothing half-adopted: the host keeps what it held before. Reads
        // that did not agree have their finding and no line.
        before.RestoreInto(s);
        ShowTotalChecksum(ctx);
        if (!read.complete)
            ctx.view.AppendLine(Control::RichEdit1, ShortReadLine("Upload", read.received, read.requested));
        return Outcome::Failed;
    }
    ApplyBodyInfo(s, ctx.view);
    // Whichever file it came from, the writer does not say.
    NoteImageVerified(ctx, "");
    return Outcome::Done;
}

}  // namespace otp
