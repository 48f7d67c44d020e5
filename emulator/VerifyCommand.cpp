#include "emulator/Commands.h"
#include "emulator/IcAccess.h"

namespace otp::emu {
namespace {

class Verify : public SocketCommand {
protected:
    void Answer(WriterEmulator& writer, const HeldBody& body, Ic& ic) override {
        writer.Reply({BankMatchesImage(writer, ic, body) ? kIcOk : kIcCellsWrong}, writer.WorkUs(kIcSetUpUs + body.count * kVerifyUsPerValue));
    }
};

}  // namespace

std::unique_ptr<WriterCommand> MakeVerify() { return std::make_unique<Verify>(); }

}  // namespace otp::emu
