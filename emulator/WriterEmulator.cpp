#include "emulator/WriterEmulator.h"

#include <algorithm>
#include <cstdio>

namespace otp::emu {
namespace {
constexpr int64_t kBitsPerByte = 10;  // start bit, 8 data bits, stop bit
constexpr int64_t kBaud = 9600;

constexpr uint8_t kFactoryVersion[WriterEmulator::kVersionSize] = {0x01, 0x02, 0x00, 0x07,
                                                                  0x01, 0x00, 0x00, 0x00};
// Valid marker, body index 0, ByteMode, 1024 values, lock option.
constexpr uint8_t kFactoryBodyInfo[WriterEmulator::kBodyInfoSize] = {
    0xA5, 0x00, 0x00, 0x00, 0x80, 0x00, 0x04, 0x00, 0x80, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00};

std::string Milliseconds(int64_t us) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f ms", static_cast<double>(us) / 1000.0);
    return text;
}

std::string HexByte(uint8_t byte) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%02X", byte);
    return text;
}

// Command bytes are letters.
std::string CommandName(uint8_t byte) {
    return std::string("'") + static_cast<char>(byte) + "' (" + HexByte(byte) + ")";
}
}  // namespace

int64_t WriterEmulator::LineTimeUs(int64_t bytes) {
    const int64_t bitUsNumerator = bytes * kBitsPerByte * 1000000;
    return (bitUsNumerator + kBaud - 1) / kBaud;
}

int64_t WriterEmulator::LineRun::FreeUs(bool timed) const {
    return timed ? startUs + LineTimeUs(count) : startUs;
}

int64_t WriterEmulator::LineRun::Carry(int64_t readyUs, bool timed) {
    if (!timed) {
        startUs = std::max(startUs, readyUs);
        count = 0;
        return startUs;
    }
    if (readyUs >= FreeUs(true)) {
        startUs = readyUs;
        count = 0;
    }
    ++count;
    return startUs + LineTimeUs(count);
}

WriterEmulator::WriterEmulator() {
    ResetToFactory();
    InstallStandardCommands(*this);
}

void WriterEmulator::ResetToFactory() {
    memory_.fill(0xFF);
    for (size_t i = 0; i < kVersionSize; ++i) memory_[kVersionAddr + i] = kFactoryVersion[i];
    for (size_t i = 0; i < kBodyInfoSize; ++i) memory_[kBodyInfoAddr + i] = kFactoryBodyInfo[i];
    KeepChecksum();
}

uint16_t WriterEmulator::HeldChecksum() const {
    uint32_t sum = 0;
    const uint32_t imageEnd = std::min<uint32_t>(
        kImageAddr + static_cast<uint32_t>(ValueCount() * BytesPerValue()), kOptionAddr);
    for (uint32_t a = kImageAddr; a < imageEnd; ++a) sum += memory_[a];
    for (uint32_t i = 0; i < kOptionSize; ++i) sum += memory_[kOptionAddr + i];
    for (uint32_t i = 0; i < kBodyInfoSize; ++i)
        if (i != 2 && i != 3) sum += memory_[kBodyInfoAddr + i];
    return static_cast<uint16_t>(sum & 0xFFFF);
}

void WriterEmulator::KeepChecksum() {
    const uint16_t sum = HeldChecksum();
    memory_[kBodyInfoAddr + 2] = static_cast<uint8_t>(sum & 0xFF);
    memory_[kBodyInfoAddr + 3] = static_cast<uint8_t>(sum >> 8);
}

void WriterEmulator::CommandEnded() {
    faults_.EndCommand();
    KeepChecksum();
}

std::vector<uint8_t> WriterEmulator::ReadMemory(uint32_t addr, size_t length) const {
    std::vector<uint8_t> out(length);
    for (size_t i = 0; i < length; ++i) out[i] = Peek(addr + static_cast<uint32_t>(i));
    return out;
}

void WriterEmulator::WriteMemory(uint32_t addr, const std::vector<uint8_t>& bytes) {
    for (size_t i = 0; i < bytes.size(); ++i) Poke(addr + static_cast<uint32_t>(i), bytes[i]);
}

bool WriterEmulator::LoadMemory(const std::vector<uint8_t>& bytes) {
    if (bytes.size() > kMemorySize) return false;
    std::copy(bytes.begin(), bytes.end(), memory_.begin());
    return true;
}

void WriterEmulator::SetCommand(uint8_t commandByte, CommandMaker maker) {
    if (maker)
        commands_[commandByte] = std::move(maker);
    else
        commands_.erase(commandByte);
}

void WriterEmulator::Receive(uint8_t byte, int64_t sentUs) {
    // The line cannot deliver bytes out of order, whatever the caller's clock did.
    sentUs = std::max(sentUs, latestSentUs_);
    latestSentUs_ = sentUs;
    const int64_t arrivalUs = toWriter_.Carry(sentUs, lineTiming_);
    AdvanceTo(arrivalUs);
    nowUs_ = arrivalUs;
    if (deathUs_ && arrivalUs >= *deathUs_) return;
    // Nobody listens while the writer is busy or deaf.
    if (BusyAt(arrivalUs) && busyReportedUntilUs_ != busyUntilUs_) {
        busyReportedUntilUs_ = busyUntilUs_;
        if (lineReporter_)
            lineReporter_("byte " + HexByte(byte) + " lost: the writer is busy for " +
                          Milliseconds(busyUntilUs_ - arrivalUs) + " more");
    }
    if (BusyAt(arrivalUs) || arrivalUs < deafUntilUs_) return;
    lastArrivalUs_ = arrivalUs;
    const bool startsCommand = !current_ && commands_.count(byte) != 0;
    if (startsCommand) faults_.StartCommand(byte);
    const Intake intake = faults_.Take(byte);
    if (intake.deafUs > 0) deafUntilUs_ = arrivalUs + intake.deafUs;
    if (intake.dies) Kill(arrivalUs);
    if (intake.lost) {
        if (startsCommand) faults_.EndCommand();
        return;
    }
    Dispatch(byte);
    DropIfDead();
}

bool WriterEmulator::AddFault(const std::string& rule, std::string& error) {
    Fault fault;
    if (!ParseFault(rule, fault, error)) return false;
    if (fault.target != '*' && commands_.count(static_cast<uint8_t>(fault.target)) == 0) {
        error = std::string("the writer has no command ") + fault.target;
        return false;
    }
    faults_.Add(fault);
    return true;
}

void WriterEmulator::Kill(int64_t atUs) {
    if (deathUs_ && *deathUs_ <= atUs) return;
    deathUs_ = atUs;
    while (!replies_.empty() && replies_.back().atUs > atUs) replies_.pop_back();
}

void WriterEmulator::DropIfDead() {
    if (!Dead() || !current_) return;
    current_.reset();
    CommandEnded();
}

void WriterEmulator::BusyFor(int64_t durationUs) { busyUntilUs_ = nowUs_ + std::max<int64_t>(durationUs, 0); }

std::string WriterEmulator::VersionText() const {
    static const char kDigits[] = "0123456789ABCDEF";
    std::string text;
    for (size_t i = 0; i < kVersionSize; ++i) text += kDigits[Peek(kVersionAddr + static_cast<uint32_t>(i)) & 0x0F];
    return text;
}

void WriterEmulator::Dispatch(uint8_t byte) {
    if (current_) {
        ++commandBytesTaken_;
        if (current_->Take(byte, *this)) {
            current_.reset();
            CommandEnded();
        }
        return;
    }
    const auto it = commands_.find(byte);
    if (it == commands_.end()) return;  // unknown command bytes are ignored
    // Memory set from outside the line (tests, a memory file) is summed too.
    KeepChecksum();
    std::unique_ptr<WriterCommand> command = it->second();
    commandByte_ = byte;
    commandBytesTaken_ = 1;
    if (command && !command->Start(*this))
        current_ = std::move(command);
    else
        CommandEnded();
}

void WriterEmulator::DropIfIdle(int64_t nowUs) {
    if (!current_ || nowUs - lastArrivalUs_ < kIdleUs) return;
    if (lineReporter_)
        lineReporter_("command " + CommandName(commandByte_) + " dropped after " + std::to_string(commandBytesTaken_) +
                      (commandBytesTaken_ == 1 ? " byte" : " bytes") + ": no byte for " +
                      Milliseconds(nowUs - lastArrivalUs_));
    std::unique_ptr<WriterCommand> command = std::move(current_);
    nowUs_ = lastArrivalUs_ + kIdleUs;
    command->Idle(*this);
    CommandEnded();
}

void WriterEmulator::AdvanceTo(int64_t nowUs) {
    clockUs_ = std::max(clockUs_, nowUs);
    // A command can idle out only while the writer still lives.
    DropIfIdle(deathUs_ ? std::min(nowUs, *deathUs_) : nowUs);
    DropIfDead();
}

void WriterEmulator::Reply(const std::vector<uint8_t>& bytes, int64_t delayUs) {
    // Whatever is queued now would go out behind a death already due.
    if (deathUs_) return;
    const ShapedAnswer answer = faults_.Shape(bytes);
    const int64_t readyUs = nowUs_ + std::max<int64_t>(delayUs, 0);
    // A delayed byte starts that much later than it would have started.
    const auto delayed = [this](int64_t fromUs, int64_t byUs) {
        return std::max(fromUs, toHost_.FreeUs(lineTiming_)) + byUs;
    };
    int64_t atUs = answer.lateUs > 0 ? delayed(readyUs, answer.lateUs) : readyUs;
    int64_t lastUs = std::max(atUs, toHost_.FreeUs(lineTiming_));
    for (size_t i = 0; i < answer.bytes.size(); ++i) {
        if (i == answer.tailFrom) atUs = delayed(atUs, answer.tailUs);
        lastUs = toHost_.Carry(atUs, lineTiming_);
        replies_.push_back({lastUs, answer.bytes[i]});
    }
    if (!answer.bytes.empty()) lastAnswerEndUs_ = lastUs;
    if (answer.dies) Kill(lastUs);
}

std::vector<uint8_t> WriterEmulator::TakeReplies(int64_t untilUs) {
    AdvanceTo(untilUs);
    std::vector<uint8_t> out;
    while (!replies_.empty() && replies_.front().atUs <= untilUs) {
        out.push_back(replies_.front().value);
        replies_.pop_front();
    }
    return out;
}

std::optional<int64_t> WriterEmulator::NextReplyUs() const {
    if (replies_.empty()) return std::nullopt;
    return replies_.front().atUs;
}

std::optional<int64_t> WriterEmulator::NextEventUs() const {
    std::optional<int64_t> next = NextReplyUs();
    const auto consider = [&next](int64_t us) {
        if (!next || us < *next) next = us;
    };
    if (current_) consider(lastArrivalUs_ + kIdleUs);
    if (deathUs_ && !Dead()) consider(*deathUs_);
    return next;
}

}  // namespace otp::emu
