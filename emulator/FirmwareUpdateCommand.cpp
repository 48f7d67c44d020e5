#include "emulator/Commands.h"

namespace otp::emu {
namespace {

constexpr int64_t kNewFirmwareUsPerByte = 100;
constexpr int64_t kOldFirmwareUsPerByte = 1200;
const std::string kFastStoreAbove = "12071000";

class FirmwareUpdate : public WriterCommand {
public:
    bool Start(WriterEmulator& writer) override {
        usPerByte_ = writer.VersionText() > kFastStoreAbove ? kNewFirmwareUsPerByte : kOldFirmwareUsPerByte;
        return false;
    }

    bool Take(uint8_t byte, WriterEmulator& writer) override {
        if (header_ < 2) {
            count_ |= byte << (8 * header_);
            if (++header_ < 2 || count_ > 0) return false;
            return true;
        }
        writer.Poke(WriterEmulator::kVersionAddr + static_cast<uint32_t>(stored_), byte);
        if (++stored_ < count_) return false;
        writer.BusyFor(usPerByte_ * count_);
        return true;
    }

private:
    int header_ = 0;
    int count_ = 0;
    int stored_ = 0;
    int64_t usPerByte_ = kOldFirmwareUsPerByte;
};

}  // namespace

std::unique_ptr<WriterCommand> MakeFirmwareUpdate() { return std::make_unique<FirmwareUpdate>(); }

}  // namespace otp::emu
