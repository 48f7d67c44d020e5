#include "emulator/Commands.h"
#include "emulator/IcAccess.h"

namespace otp::emu {
namespace {

class Verify : public WriterCommand {
public:
    bool Start(WriterEmulator& writer) override {
        const HeldBody body = ReadHeldBody(writer);
        if (const uint8_t problem = SocketProblem(writer, body)) {
            writer.Reply({problem}, kIcQuickUs);
            return true;
        }
        const std::vector<uint8_t>& cells = writer.Socket().Held()->banks[static_cast<size_t>(body.bank)];
        bool same = true;
        for (size_t i = 0; i < body.bytes && same; ++i)
            same = body.InRollingArea(i) || cells[i] == writer.Peek(WriterEmulator::kImageAddr + i);
        writer.Reply({same ? kIcOk : kIcCellsWrong}, kIcSetUpUs + body.count * kVerifyUsPerValue);
        return true;
    }
    bool Take(uint8_t, WriterEmulator&) override { return true; }
};

}  // namespace

std::unique_ptr<WriterCommand> MakeVerify() { return std::make_unique<Verify>(); }

}  // namespace otp::emu
