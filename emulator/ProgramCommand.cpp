#include "emulator/Commands.h"
#include "emulator/IcAccess.h"

namespace otp::emu {
namespace {

class Program : public SocketCommand {
protected:
    void Answer(WriterEmulator& writer, const HeldBody& body, Ic& ic) override {
        if (ic.locked) {
            writer.Reply({kIcLocked}, kIcQuickUs);
            return;
        }

        // The image and the option bytes go into the IC; the rolling-code
        // values are not taken from the image.
        for (size_t i = 0; i < body.bytes; ++i)
            if (!body.InRollingArea(i)) ic.ProgramCell(body.bank, i, writer.Peek(WriterEmulator::kImageAddr + i));
        for (size_t i = 0; i < Ic::kOptionBytes; ++i)
            ic.options[i] &= writer.Peek(WriterEmulator::kOptionAddr + static_cast<uint32_t>(i));
        ic.usedBanks |= static_cast<uint8_t>(1 << body.bank);
        if (!ic.bodyCode) ic.bodyCode = body.code;
        ic.bodyInfo = body.info;

        std::vector<uint8_t> reply;
        // A cell once programmed keeps its zeros: the rolling code of a chip
        // programmed before mixes with the new one, which its verify sees.
        bool rollingHeld = true;
        if (body.rollingOn) {
            const size_t first = static_cast<size_t>(body.rollingBase) * static_cast<size_t>(body.bytesPerValue);
            const std::vector<uint8_t>& cells = ic.banks[static_cast<size_t>(body.bank)];
            const auto program = [&](size_t at, uint8_t value) {
                ic.ProgramCell(body.bank, at, value);
                rollingHeld = rollingHeld && at < cells.size() && cells[at] == value;
            };
            int k = 0;
            for (uint16_t word : writer.Socket().TakeRollingCode()) {
                const size_t at = first + static_cast<size_t>(k++ * body.bytesPerValue);
                program(at, static_cast<uint8_t>(word & 0xFF));
                if (body.bytesPerValue == 2) program(at + 1, static_cast<uint8_t>(word >> 8));
                reply.push_back(static_cast<uint8_t>(word & 0xFF));
                reply.push_back(static_cast<uint8_t>(word >> 8));
            }
        }

        // The verify pass of the same run, the rolling code with it.
        const bool same = BankMatchesImage(writer, ic, body) && rollingHeld;
        if (body.lockOn) ic.locked = true;
        reply.push_back(same ? kIcOk : kIcCellsWrong);

        const int64_t us = writer.WorkUs(kIcSetUpUs + body.count * kProgramUsPerValue);
        writer.BusyFor(us);
        writer.Reply(reply, us);
    }
};

}  // namespace

std::unique_ptr<WriterCommand> MakeProgram() { return std::make_unique<Program>(); }

}  // namespace otp::emu
