#include "romfile/UploadRom.h"

#include <algorithm>

#include "config/ApplyBodyInfo.h"
#include "link/PortLink.h"
#include "link/Transfers.h"
#include "link/WriterCommands.h"

namespace otp {

Outcome UploadtoWriter1Click(Context& ctx) {
    WriterState& s = ctx.state;
    ctx.view.ClearPane(Control::RichEdit1);
    ctx.view.ClearPane(Control::RichEdit2);
    OpenPort(ctx);
    bool ok = !s.PortFailed;

    ReadBodyInfo(ctx, 0);
    ok = ok && s.ReplyLength == kBodyInfoWireBytes;
    // The image is read in the width of the body the writer holds, so a
    // writer holding the other width is read whole.
    SetLayoutFromBodyInfo(s);

    ReadOptionBytes(ctx, 0, false);
    ok = ok && s.ReplyLength == kOptionWireBytes;

    ReadObjectBack(ctx, 0, false);
    const int total = std::min(BodyObjectLength(s.BodyInfo[0]), kRomImageSize) * (s.ValueDigits / 2);
    ok = ok && BlockReadComplete(s, total);

    ClosePort(ctx);
    ApplyBodyInfo(s, ctx.view);
    return ok ? Outcome::Done : Outcome::Failed;
}

}  // namespace otp
