#include "emulator/Commands.h"
#include "emulator/IcAccess.h"

namespace otp::emu {
namespace {

class BankSearch : public WriterCommand {
public:
    bool Start(WriterEmulator& writer) override {
        const HeldBody body = ReadHeldBody(writer);
        if (const uint8_t problem = SocketProblem(writer, body)) {
            writer.Reply({problem}, kIcQuickUs);
            return true;
        }
        const uint8_t used = writer.Socket().Held()->usedBanks;
        const bool firstUnused = body.flags & 0x04;
        int found = -1;
        for (int b = 0; b < body.bankCount; ++b) {
            const bool isUsed = used & (1 << b);
            if (firstUnused && !isUsed) {
                found = b;
                break;
            }
            if (!firstUnused && isUsed) found = b;
        }
        if (found < 0) {
            writer.Reply({kIcCellsWrong}, kBankSearchUs);
            return true;
        }
        const uint32_t bankByte = WriterEmulator::kBodyInfoAddr + 13;
        writer.Poke(bankByte, static_cast<uint8_t>((found << 5) | (writer.Peek(bankByte) & 0x1F)));
        writer.Reply({kIcOk}, kBankSearchUs);
        return true;
    }
    bool Take(uint8_t, WriterEmulator&) override { return true; }
};

}  // namespace

std::unique_ptr<WriterCommand> MakeBankSearch() { return std::make_unique<BankSearch>(); }

}  // namespace otp::emu
