#include "emulatedport/EmulatedPort.h"

#include "emulator/IcAccess.h"

namespace otp::emu {

EmulatedPort::EmulatedPort(std::shared_ptr<WriterEmulator> writer, const Pacer& pacer, bool keptWhileClosed)
    : writer_(std::move(writer)), pacer_(pacer) {
    if (!keptWhileClosed) writer_->TakeReplies(NowUs());
}

bool EmulatedPort::WriteByte(uint8_t byte) {
    writer_->Receive(byte, NowUs());
    return true;
}

// The emulated line carries bytes at the speed the link itself allows for,
// so nothing is left to wait for here.
bool EmulatedPort::WaitSent(Pacer&) { return true; }

std::vector<uint8_t> EmulatedPort::TakeArrived() { return writer_->TakeReplies(NowUs()); }

bool EmulatedPort::DiscardInput() { return !writer_->TakeReplies(NowUs()).empty(); }

std::optional<int64_t> EmulatedPort::NextByteMs() {
    // Answers are queued only when the host writes, so while it waits the
    // queue tells every byte still to come. A byte due within a millisecond
    // is there when the pacer's clock has passed it.
    const std::optional<int64_t> us = writer_->NextReplyUs();
    if (!us) return kNoByte;
    return (*us + 999) / 1000;
}

bool EmulatedPort::AwaitByte(int) {
    const std::optional<int64_t> us = writer_->NextReplyUs();
    return us && *us <= NowUs();
}

EmulatedPortOpener::EmulatedPortOpener(std::shared_ptr<WriterEmulator> writer, const Pacer& pacer)
    : writer_(std::move(writer)), pacer_(pacer) {}

OpenResult EmulatedPortOpener::Open(const std::string& portName,
                                    std::unique_ptr<SerialPort>& port) {
    ++openCount_;
    port.reset();
    // A writer that has died has taken its device with it.
    writer_->AdvanceTo(pacer_.NowMs() * 1000);
    if (writer_->Dead()) return OpenResult::OpenError;
    const auto it = failures_.find(portName);
    if (it != failures_.end() && it->second != OpenResult::Ok) return it->second;
    port = std::make_unique<EmulatedPort>(writer_, pacer_, keepWhileClosed_);
    return OpenResult::Ok;
}

void EmulatedPortOpener::FailOpen(const std::string& portName, OpenResult result) {
    if (result == OpenResult::Ok)
        failures_.erase(portName);
    else
        failures_[portName] = result;
}

std::shared_ptr<WriterEmulator> MakeDemoWriter() {
    auto writer = std::make_shared<WriterEmulator>();
    PutInSocket(*writer, IcKind::Blank);
    return writer;
}

std::unique_ptr<EmulatedPortOpener> MakeDemoOpener(const Pacer& pacer) {
    return std::make_unique<EmulatedPortOpener>(MakeDemoWriter(), pacer);
}

WriterLine MakeDemoLine(size_t index) {
    constexpr uint16_t kRollingSpread = 0x2000;
    WriterLine line;
    line.pacer = std::make_unique<RealPacer>();
    std::shared_ptr<WriterEmulator> writer = MakeDemoWriter();
    IcSocket& socket = writer->Socket();
    socket.SetNextRollingCode(static_cast<uint16_t>(socket.NextRollingCode() + index * kRollingSpread));
    line.opener = std::make_unique<EmulatedPortOpener>(writer, *line.pacer);
    line.freshChip = [writer] { PutInSocket(*writer, IcKind::Blank); };
    return line;
}

}  // namespace otp::emu
