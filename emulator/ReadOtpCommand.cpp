#include "emulator/Commands.h"
#include "emulator/IcAccess.h"

namespace otp::emu {
namespace {

class ReadOtp : public SocketCommand {
protected:
    void Answer(WriterEmulator& writer, const HeldBody& body, Ic& ic) override {
        const std::vector<uint8_t>& cells = ic.banks[static_cast<size_t>(body.bank)];
        // A locked IC keeps its program to itself: it reads as zeros.
        for (size_t i = 0; i < Ic::kBankBytes; ++i)
            writer.Poke(WriterEmulator::kIcImageAddr + static_cast<uint32_t>(i), ic.locked ? 0x00 : cells[i]);
        for (size_t i = 0; i < Ic::kOptionBytes; ++i)
            writer.Poke(WriterEmulator::kIcOptionAddr + static_cast<uint32_t>(i), ic.options[i]);

        std::vector<uint8_t> reply;
        if (ic.locked) {
            reply = {kIcLocked};
        } else if (ic.BankBlank(body.bank, body.bytes)) {
            reply = {kIcCellsWrong};
        } else {
            const uint16_t sum = BankSum(ic, body.bank, body);
            reply = {static_cast<uint8_t>(sum >> 8), static_cast<uint8_t>(sum & 0xFF), kIcOk};
        }
        writer.Reply(reply, writer.WorkUs(kIcSetUpUs + body.count * kReadUsPerValue));
    }
};

}  // namespace

std::unique_ptr<WriterCommand> MakeReadOtp() { return std::make_unique<ReadOtp>(); }

}  // namespace otp::emu
