#include "emulator/Commands.h"

namespace otp::emu {
namespace {

class BlockRead : public WriterCommand {
public:
    bool Take(uint8_t byte, WriterEmulator& writer) override {
        args_[got_++] = byte;
        if (got_ < kArgs) return false;
        const uint8_t area = args_[0];
        const uint32_t addr = args_[1] | (args_[2] << 8);
        const size_t length = args_[3] | (args_[4] << 8);
        if (area == 1 && length > 0) writer.Reply(writer.ReadMemory(addr, length));
        return true;
    }

private:
    static constexpr int kArgs = 7;
    uint8_t args_[kArgs] = {};
    int got_ = 0;
};

}  // namespace

std::unique_ptr<WriterCommand> MakeBlockRead() { return std::make_unique<BlockRead>(); }

}  // namespace otp::emu
