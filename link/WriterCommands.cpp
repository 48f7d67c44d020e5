#include "link/WriterCommands.h"

#include "link/PortLink.h"

namespace otp {

const CommandInfo& CommandFor(Cmd cmd) {
    for (const CommandInfo& c : kCommands)
        if (c.cmd == cmd) return c;
    return kCommands[0];
}

std::array<uint8_t, 7> BlockReadRequest(uint8_t area, int address, int length) {
    return {area,
            static_cast<uint8_t>(address & 0xFF),
            static_cast<uint8_t>((address >> 8) & 0xFF),
            static_cast<uint8_t>(length & 0xFF),
            static_cast<uint8_t>((length >> 8) & 0xFF),
            0x00,
            0x00};
}

bool SendCommandByte(Context& ctx, uint8_t byte, int pauseMs, bool echoCheck) {
    WritePending(ctx, byte);
    if (pauseMs != 0) ctx.pacer.Sleep(pauseMs);
    if (!echoCheck) return true;
    DrainReply(ctx);
    return ctx.state.ReplyBuffer[0] == byte;
}

void SendCommand(Context& ctx, Cmd cmd) {
    PacedSender(ctx).Command(cmd);
}

PacedSender::PacedSender(Context& ctx) : ctx_(ctx), dueMs_(ctx.pacer.NowMs()) {}

void PacedSender::Send(uint8_t byte, int pauseMs) {
    WritePending(ctx_, byte);
    if (pauseMs <= 0) return;
    dueMs_ += pauseMs;
    ctx_.pacer.SleepUntil(dueMs_);
}

void PacedSender::Command(Cmd cmd) {
    DiscardArrived(ctx_);
    ctx_.link.commandSentMs = ctx_.pacer.NowMs();
    Send(static_cast<uint8_t>(cmd), CommandFor(cmd).pauseMs);
}

}  // namespace otp
