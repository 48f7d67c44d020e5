#include <algorithm>

#include "emulator/Commands.h"
#include "emulator/IcAccess.h"

namespace otp::emu {
namespace {

class TestCodeWrite : public WriterCommand {
public:
    bool Start(WriterEmulator& writer) override {
        const HeldBody body = ReadHeldBody(writer);
        if (const uint8_t problem = SocketProblem(writer, body)) {
            writer.Reply({problem}, kIcQuickUs);
            return true;
        }
        Ic& ic = *writer.Socket().Held();
        const std::vector<uint8_t> code = BodyTestCode(body.code);
        if (ic.testCode.size() < code.size()) ic.testCode.resize(code.size(), 0xFF);
        for (size_t i = 0; i < code.size(); ++i) ic.testCode[i] &= code[i];
        if (!ic.bodyCode) ic.bodyCode = body.code;
        const bool written = std::equal(code.begin(), code.end(), ic.testCode.begin());
        writer.Reply({written ? kIcOk : kIcCellsWrong}, kTestCodeWriteUs);
        return true;
    }
    bool Take(uint8_t, WriterEmulator&) override { return true; }
};

}  // namespace

std::unique_ptr<WriterCommand> MakeTestCodeWrite() { return std::make_unique<TestCodeWrite>(); }

}  // namespace otp::emu
