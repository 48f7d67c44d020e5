#include "emulator/Commands.h"
#include "emulator/IcAccess.h"

namespace otp::emu {
namespace {

class BlankCheck : public SocketCommand {
protected:
    void Answer(WriterEmulator& writer, const HeldBody& body, Ic& ic) override {
        const uint8_t status = ic.locked                            ? kIcLocked
                               : ic.BankBlank(body.bank, body.bytes) ? kIcOk
                                                                     : kIcCellsWrong;
        writer.Reply({status}, writer.WorkUs(kIcSetUpUs + body.count * kBlankCheckUsPerValue));
    }
};

}  // namespace

std::unique_ptr<WriterCommand> MakeBlankCheck() { return std::make_unique<BlankCheck>(); }

}  // namespace otp::emu
