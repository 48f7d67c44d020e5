#include <algorithm>

#include "emulator/Commands.h"
#include "emulator/IcAccess.h"

namespace otp::emu {
namespace {

class TestCodeWrite : public SocketCommand {
protected:
    void Answer(WriterEmulator& writer, const HeldBody& body, Ic& ic) override {
        const std::vector<uint8_t> code = BodyTestCode(body.code);
        if (ic.testCode.size() < code.size()) ic.testCode.resize(code.size(), 0xFF);
        for (size_t i = 0; i < code.size(); ++i) ic.testCode[i] &= code[i];
        if (!ic.bodyCode) ic.bodyCode = body.code;
        const bool written = std::equal(code.begin(), code.end(), ic.testCode.begin());
        writer.Reply({written ? kIcOk : kIcCellsWrong}, writer.WorkUs(kTestCodeWriteUs));
    }
};

}  // namespace

std::unique_ptr<WriterCommand> MakeTestCodeWrite() { return std::make_unique<TestCodeWrite>(); }

}  // namespace otp::emu
