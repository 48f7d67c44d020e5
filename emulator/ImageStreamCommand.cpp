#include "emulator/Commands.h"

namespace otp::emu {
namespace {

class ImageStream : public WriterCommand {
public:
    bool Start(WriterEmulator& writer) override {
        // The layout is fixed by the BodyInfo held when the stream begins.
        expected_ = static_cast<int64_t>(writer.ValueCount()) * writer.BytesPerValue();
        return expected_ == 0;
    }

    bool Take(uint8_t byte, WriterEmulator& writer) override {
        writer.Poke(WriterEmulator::kImageAddr + static_cast<uint32_t>(got_), byte);
        return ++got_ >= expected_;
    }

private:
    int64_t expected_ = 0;
    int64_t got_ = 0;
};

}  // namespace

std::unique_ptr<WriterCommand> MakeImageStream() { return std::make_unique<ImageStream>(); }

}  // namespace otp::emu
