#include "link/WriterCommands.h"

#include "link/PortLink.h"

namespace otp {

const CommandInfo& CommandFor(Cmd cmd) {
    for (const CommandInfo& c : kCommands)
        if (c.cmd == cmd) return c;
    return kCommands[0];
}

bool SendCommandByte(Context& ctx, uint8_t byte, int pauseMs, bool echoCheck) {
    WritePending(ctx, byte);
    if (pauseMs != 0) ctx.pacer.Sleep(pauseMs);
    if (!echoCheck) return true;
    DrainReply(ctx);
    return ctx.state.ReplyBuffer[0] == byte;
}

void SendCommand(Context& ctx, Cmd cmd) {
    DiscardArrived(ctx);
    SendCommandByte(ctx, static_cast<uint8_t>(cmd), CommandFor(cmd).pauseMs);
}

}  // namespace otp
