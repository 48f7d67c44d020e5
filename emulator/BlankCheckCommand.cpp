#include "emulator/Commands.h"
#include "emulator/IcAccess.h"

namespace otp::emu {
namespace {

class BlankCheck : public WriterCommand {
public:
    bool Start(WriterEmulator& writer) override {
        const HeldBody body = ReadHeldBody(writer);
        if (const uint8_t problem = SocketProblem(writer, body)) {
            writer.Reply({problem}, kIcQuickUs);
            return true;
        }
        const Ic& ic = *writer.Socket().Held();
        const uint8_t status = ic.locked                            ? kIcLocked
                               : ic.BankBlank(body.bank, body.bytes) ? kIcOk
                                                                     : kIcCellsWrong;
        writer.Reply({status}, kIcSetUpUs + body.count * kBlankCheckUsPerValue);
        return true;
    }
    bool Take(uint8_t, WriterEmulator&) override { return true; }
};

}  // namespace

std::unique_ptr<WriterCommand> MakeBlankCheck() { return std::make_unique<BlankCheck>(); }

}  // namespace otp::emu
