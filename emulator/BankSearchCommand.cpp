#include "emulator/Commands.h"
#include "emulator/IcAccess.h"

namespace otp::emu {
namespace {

class BankSearch : public SocketCommand {
protected:
    void Answer(WriterEmulator& writer, const HeldBody& body, Ic& ic) override {
        const uint8_t used = ic.usedBanks;
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
            writer.Reply({kIcCellsWrong}, writer.WorkUs(kBankSearchUs));
            return;
        }
        const uint32_t bankByte = WriterEmulator::kBodyInfoAddr + 13;
        writer.Poke(bankByte, static_cast<uint8_t>((found << 5) | (writer.Peek(bankByte) & 0x1F)));
        writer.Reply({kIcOk}, writer.WorkUs(kBankSearchUs));
    }
};

}  // namespace

std::unique_ptr<WriterCommand> MakeBankSearch() { return std::make_unique<BankSearch>(); }

}  // namespace otp::emu
