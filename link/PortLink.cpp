#include "link/PortLink.h"

#include <algorithm>

namespace otp {

void OpenPort(Context& ctx) {
    WriterState& s = ctx.state;
    s.PortFailed = false;
    ctx.link.PortHandle.reset();
    const OpenResult result = ctx.link.opener.Open(s.PortName, ctx.link.PortHandle);
    if (result == OpenResult::Ok && ctx.link.PortHandle) return;
    ctx.link.PortHandle.reset();
    s.PortFailed = true;
    ctx.view.ShowErrorBox("ERROR", result == OpenResult::SettingError ? "RS232 setting error!!!" : "RS232 open error!!!",
                          false);
}

void ClosePort(Context& ctx) { ctx.link.PortHandle.reset(); }

void WritePending(Context& ctx, uint8_t byte) {
    if (ctx.link.PortHandle) ctx.link.PortHandle->WriteByte(byte);
}

void DrainReply(Context& ctx) {
    WriterState& s = ctx.state;
    if (!ctx.link.PortHandle) {
        s.ReplyLength = 0;
        s.ReplyBuffer[0] = 0;
        return;
    }
    const std::vector<uint8_t> bytes = ctx.link.PortHandle->TakeArrived();
    if (bytes.size() > static_cast<size_t>(kReplyCapacity)) return;
    std::copy(bytes.begin(), bytes.end(), s.ReplyBuffer.begin());
    s.ReplyLength = static_cast<int>(bytes.size());
    s.ReplyBuffer[bytes.size()] = 0;
}

}  // namespace otp
