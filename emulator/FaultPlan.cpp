#include "emulator/FaultPlan.h"

#include <algorithm>
#include <cstdio>

namespace otp::emu {
namespace {

std::string Hex(uint8_t byte) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%02X", byte);
    return text;
}

std::string Letter(uint8_t commandByte) {
    return commandByte > 0x20 && commandByte < 0x7F ? std::string(1, static_cast<char>(commandByte)) : Hex(commandByte);
}

std::string Bytes(size_t n) { return std::to_string(n) + (n == 1 ? " byte" : " bytes"); }

}  // namespace

void FaultPlan::Add(const Fault& fault) { planned_.push_back({fault, 0}); }

void FaultPlan::Clear() {
    planned_.clear();
    armed_.clear();
    countdowns_.clear();
}

void FaultPlan::StartCommand(uint8_t commandByte) {
    armed_.clear();
    taken_ = 0;
    for (Planned& p : planned_) {
        if (p.fault.target != '*' && static_cast<uint8_t>(p.fault.target) != commandByte) continue;
        ++p.seen;
        if (p.fault.occurrence != 0 && p.seen != p.fault.occurrence) continue;
        const std::string n = std::to_string(p.seen);
        Armed armed{p.fault, p.fault.target == '*' ? "*#" + n + " (" + Letter(commandByte) + ")"
                                                   : Letter(commandByte) + "#" + n};
        if (p.fault.kind == FaultKind::DieRx)
            countdowns_.push_back({armed, p.fault.count});
        else
            armed_.push_back(armed);
    }
    // A fault for one occurrence only is spent once it has hit.
    planned_.erase(std::remove_if(planned_.begin(), planned_.end(),
                                  [](const Planned& p) { return p.fault.occurrence != 0 && p.seen >= p.fault.occurrence; }),
                   planned_.end());
}

Intake FaultPlan::Take(uint8_t byte) {
    Intake intake;
    const int64_t index = taken_++;
    for (Armed& a : armed_) {
        if (a.done) continue;
        if (a.fault.kind == FaultKind::Lose && a.fault.count == index) {
            intake.lost = true;
            a.done = true;
            Report(a, "host byte " + std::to_string(index) + " (" + Hex(byte) + ") lost");
        } else if (a.fault.kind == FaultKind::Deaf && index == 0) {
            intake.deafUs = a.fault.ms * 1000;
            a.done = true;
            Report(a, "deaf for " + std::to_string(a.fault.ms) + " ms after the command byte");
        }
    }
    if (intake.lost) return intake;  // a byte that never arrived is not taken
    for (auto it = countdowns_.begin(); it != countdowns_.end();) {
        if (--it->left > 0) {
            ++it;
            continue;
        }
        intake.dies = true;
        Report(it->armed, "the writer dies after taking " + Bytes(static_cast<size_t>(it->armed.fault.count)));
        it = countdowns_.erase(it);
    }
    return intake;
}

void FaultPlan::EndCommand() {
    for (Armed& a : armed_) {
        if (a.done) continue;
        if (a.fault.kind == FaultKind::Lose)
            Report(a, "the command ended after " + Bytes(static_cast<size_t>(taken_)) + ", nothing lost");
        else if (a.fault.ChangesAnswer())
            Report(a, "no answer to change");
    }
    armed_.clear();
}

ShapedAnswer FaultPlan::Shape(const std::vector<uint8_t>& bytes) {
    ShapedAnswer answer;
    std::vector<uint8_t> out = bytes;
    size_t dieAfter = std::numeric_limits<size_t>::max();
    for (Armed& a : armed_) {
        if (!a.fault.ChangesAnswer()) continue;
        Apply(a, answer, out, dieAfter);
        a.done = true;
    }
    // The death comes last: exactly the first bytes of the answer as shaped go out.
    if (dieAfter != std::numeric_limits<size_t>::max()) {
        out.resize(std::min(out.size(), dieAfter));
        answer.dies = true;
    }
    answer.bytes = std::move(out);
    return answer;
}

void FaultPlan::Apply(Armed& armed, ShapedAnswer& answer, std::vector<uint8_t>& bytes, size_t& dieAfter) {
    const Fault& f = armed.fault;
    const size_t size = bytes.size();
    const size_t k = static_cast<size_t>(f.count);
    const std::string ms = std::to_string(f.ms) + " ms";
    switch (f.kind) {
        case FaultKind::Silent:
            bytes.clear();
            Report(armed, "answer of " + Bytes(size) + " withheld");
            break;
        case FaultKind::Late:
            answer.lateUs += f.ms * 1000;
            Report(armed, "answer of " + Bytes(size) + " " + ms + " late");
            break;
        case FaultKind::Tail:
            answer.tailFrom = k;
            answer.tailUs = f.ms * 1000;
            Report(armed, k < size ? "answer bytes " + std::to_string(k) + " to " + std::to_string(size - 1) + " " + ms + " late"
                                   : "answer of " + Bytes(size) + " has no byte " + std::to_string(k));
            break;
        case FaultKind::Truncate:
            bytes.resize(std::min(size, k));
            Report(armed, "answer cut from " + std::to_string(size) + " to " + Bytes(bytes.size()));
            break;
        case FaultKind::Extra:
            for (size_t i = 0; i < k; ++i) bytes.push_back(RandomByte());
            Report(armed, Bytes(k) + " of noise after the answer of " + Bytes(size));
            break;
        case FaultKind::Flood:
            bytes.clear();
            for (size_t i = 0; i < k; ++i) bytes.push_back(RandomByte());
            Report(armed, "answer of " + Bytes(size) + " replaced by " + Bytes(k) + " of noise");
            break;
        case FaultKind::Garbage:
            for (uint8_t& b : bytes) b = RandomByte();
            Report(armed, "answer of " + Bytes(size) + " replaced by noise");
            break;
        case FaultKind::Corrupt: {
            if (k >= size) {
                Report(armed, "answer of " + Bytes(size) + " has no byte " + std::to_string(k));
                break;
            }
            uint8_t flip = 0;
            while (flip == 0) flip = RandomByte();
            const uint8_t was = bytes[k];
            bytes[k] = static_cast<uint8_t>(was ^ flip);
            Report(armed, "answer byte " + std::to_string(k) + " changed from " + Hex(was) + " to " + Hex(bytes[k]));
            break;
        }
        case FaultKind::Die:
            dieAfter = std::min(dieAfter, k);
            Report(armed, "the writer dies after " + std::to_string(std::min(size, k)) + " of " + Bytes(size) +
                              " of the answer");
            break;
        default:
            break;
    }
}

void FaultPlan::Report(const Armed& armed, const std::string& what) {
    reports_.push_back(armed.label + " " + armed.fault.kindText + ": " + what);
    if (reporter_) reporter_(reports_.back());
}

}  // namespace otp::emu
