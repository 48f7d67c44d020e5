#include "emulator/Commands.h"
#include "emulator/IcAccess.h"

namespace otp::emu {
namespace {

class TestCodeRead : public WriterCommand {
public:
    bool Start(WriterEmulator& writer) override {
        const Ic* ic = writer.Socket().Held();
        if (!ic || ic->contactFault) {
            writer.Reply({kIcUnreachable}, kIcQuickUs);
            return true;
        }
        writer.Reply(ic->testCode, writer.WorkUs(kTestCodeReadUs));
        return true;
    }
    bool Take(uint8_t, WriterEmulator&) override { return true; }
};

}  // namespace

std::unique_ptr<WriterCommand> MakeTestCodeRead() { return std::make_unique<TestCodeRead>(); }

}  // namespace otp::emu
