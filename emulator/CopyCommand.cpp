#include "emulator/Commands.h"
#include "emulator/IcAccess.h"

namespace otp::emu {
namespace {

class Copy : public WriterCommand {
public:
    bool Start(WriterEmulator& writer) override {
        const HeldBody body = ReadHeldBody(writer);
        if (writer.Socket().Empty()) {
            writer.Reply({kIcCellsWrong}, kIcQuickUs);  // no master: as good as a blank one
            return true;
        }
        if (const uint8_t problem = SocketProblem(writer, body)) {
            writer.Reply({problem}, kIcQuickUs);
            return true;
        }
        const Ic& master = *writer.Socket().Held();
        if (master.locked) {
            writer.Reply({kIcLocked}, kIcQuickUs);
            return true;
        }
        // The master describes itself once it has been programmed, with the
        // bank it was last programmed in: that bank is the one read, so that
        // the image and the description taken agree.
        const HeldBody own = master.usedBanks ? DescribeBody(master.bodyInfo) : body;
        if (own.bank >= own.bankCount) {
            writer.Reply({kIcUnreachable}, kIcQuickUs);  // no such bank on the master's package
            return true;
        }
        if (master.BankBlank(own.bank, own.bytes)) {
            writer.Reply({kIcCellsWrong}, writer.WorkUs(kIcSetUpUs + own.count * kCopyUsPerValue));
            return true;
        }
        const std::vector<uint8_t>& cells = master.banks[static_cast<size_t>(own.bank)];
        for (size_t i = 0; i < own.bytes; ++i) writer.Poke(WriterEmulator::kImageAddr + static_cast<uint32_t>(i), cells[i]);
        for (size_t i = 0; i < Ic::kOptionBytes; ++i)
            writer.Poke(WriterEmulator::kOptionAddr + static_cast<uint32_t>(i), master.options[i]);
        for (size_t i = 0; i < own.info.size(); ++i)
            writer.Poke(WriterEmulator::kBodyInfoAddr + static_cast<uint32_t>(i), own.info[i]);

        const int64_t us = kIcSetUpUs + own.count * kCopyUsPerValue;
        writer.BusyFor(us);
        writer.Reply({kIcOk}, us);
        return true;
    }
    bool Take(uint8_t, WriterEmulator&) override { return true; }
};

}  // namespace

std::unique_ptr<WriterCommand> MakeCopy() { return std::make_unique<Copy>(); }

}  // namespace otp::emu
