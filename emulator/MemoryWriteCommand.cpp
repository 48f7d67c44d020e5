#include "emulator/Commands.h"

namespace otp::emu {
namespace {

// A fixed number of bytes into memory from a fixed address, each stored as it
// arrives.
class MemoryWrite : public WriterCommand {
public:
    MemoryWrite(uint32_t addr, int count) : addr_(addr), count_(count) {}

    bool Take(uint8_t byte, WriterEmulator& writer) override {
        writer.Poke(addr_ + static_cast<uint32_t>(got_), byte);
        return ++got_ >= count_;
    }

private:
    uint32_t addr_;
    int count_;
    int got_ = 0;
};

}  // namespace

std::unique_ptr<WriterCommand> MakeBodyInfoWrite() {
    return std::make_unique<MemoryWrite>(WriterEmulator::kBodyInfoAddr,
                                         static_cast<int>(WriterEmulator::kBodyInfoSize));
}

std::unique_ptr<WriterCommand> MakeOptionWrite() {
    return std::make_unique<MemoryWrite>(WriterEmulator::kOptionAddr,
                                         static_cast<int>(WriterEmulator::kOptionSize));
}

}  // namespace otp::emu
