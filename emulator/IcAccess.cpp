#include "emulator/IcAccess.h"

#include <algorithm>
#include <cstdio>

namespace otp::emu {
namespace {

std::string Hex(unsigned value, int digits) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%0*X", digits, value);
    return buf;
}

// What a person would call the IC, looking at it the way the writer does.
std::string KindWord(const Ic& ic, const HeldBody& body) {
    if (ic.contactFault) return "fault";
    if (ic.bodyCode && *ic.bodyCode != body.code) return "wrong-body";
    if (ic.locked) return "locked";
    for (int b = 0; b < Ic::kBanks; ++b)
        if (!ic.BankBlank(b, Ic::kBankBytes)) return "programmed";
    return ic.usedBanks ? "programmed" : "blank";
}

}  // namespace

bool HeldBody::InRollingArea(size_t byteIndex) const {
    if (!rollingOn) return false;
    const size_t first = static_cast<size_t>(rollingBase) * static_cast<size_t>(bytesPerValue);
    const size_t end = first + static_cast<size_t>(IcSocket::kRollingWords * bytesPerValue);
    return byteIndex >= first && byteIndex < end;
}

HeldBody DescribeBody(const std::array<uint8_t, WriterEmulator::kBodyInfoSize>& info) {
    HeldBody b;
    b.info = info;
    b.code = info[1];
    b.flags = info[4];
    b.caps = info[8];
    b.count = info[5] | (info[6] << 8);
    b.bytesPerValue = (b.flags & 0x80) ? 1 : 2;
    b.bytes = std::min(static_cast<size_t>(b.count) * static_cast<size_t>(b.bytesPerValue), Ic::kBankBytes);
    b.bankCount = (b.caps & 0x08) ? 2 : 8;
    b.bank = (b.caps & 0x20) ? info[13] >> 5 : 0;
    b.lockOn = b.flags & 0x40;
    b.rollingOn = b.flags & 0x20;
    b.rollingBase = (b.caps & 0x10) ? 0x1F8 : 0x3F8;
    b.hasTestCode = b.caps & 0x02;
    return b;
}

HeldBody ReadHeldBody(const WriterEmulator& writer) {
    std::array<uint8_t, WriterEmulator::kBodyInfoSize> info{};
    for (size_t i = 0; i < info.size(); ++i) info[i] = writer.Peek(WriterEmulator::kBodyInfoAddr + static_cast<uint32_t>(i));
    return DescribeBody(info);
}

uint8_t SocketProblem(const WriterEmulator& writer, const HeldBody& body) {
    const Ic* ic = writer.Socket().Held();
    if (!ic || ic->contactFault) return kIcUnreachable;
    if (body.bank >= body.bankCount) return kIcUnreachable;  // no such bank on this package
    if (ic->bodyCode && *ic->bodyCode != body.code) return kIcOtherBody;
    return kIcOk;
}

uint16_t BankSum(const Ic& ic, int bank, const HeldBody& body) {
    const std::vector<uint8_t>& cells = ic.banks[static_cast<size_t>(bank)];
    uint16_t sum = 0;
    for (size_t i = 0; i < body.bytes; i += static_cast<size_t>(body.bytesPerValue)) {
        int value = cells[i];
        if (body.bytesPerValue == 2 && i + 1 < cells.size()) value |= cells[i + 1] << 8;
        sum = static_cast<uint16_t>(sum + value);
    }
    return sum;
}

uint8_t MasterCell(size_t index) { return static_cast<uint8_t>((index * 29 + 0x11) & 0xFF); }

void PutInSocket(WriterEmulator& writer, IcKind kind) {
    IcSocket& socket = writer.Socket();
    const HeldBody body = ReadHeldBody(writer);
    Ic ic;
    switch (kind) {
        case IcKind::None:
            socket.Remove();
            return;
        case IcKind::Blank:
            break;
        case IcKind::Programmed:
        case IcKind::Locked:
            ic.bodyCode = body.code;
            ic.bodyInfo = body.info;
            for (size_t i = 0; i < body.bytes; ++i) ic.ProgramCell(0, i, MasterCell(i));
            ic.usedBanks = 0x01;
            ic.options[0] = kind == IcKind::Locked ? 0x01 : 0x00;
            ic.options[1] = 0x5A;
            if (body.hasTestCode) ic.testCode = BodyTestCode(body.code);
            if (kind == IcKind::Locked) {
                ic.locked = true;
                ic.bodyInfo[4] |= 0x40;
            }
            break;
        case IcKind::WrongBody:
            ic.bodyCode = static_cast<uint8_t>(body.code ^ 0x80);
            ic.testCode = BodyTestCode(*ic.bodyCode);
            break;
        case IcKind::Fault:
            ic.contactFault = true;
            break;
    }
    socket.Insert(ic);
}

std::string SocketStatus(const WriterEmulator& writer) {
    const IcSocket& socket = writer.Socket();
    const std::string rolling = "next rolling code: " + Hex(socket.NextRollingCode(), 4);
    const Ic* ic = socket.Held();
    if (!ic) return "socket: none; " + rolling;
    const HeldBody body = ReadHeldBody(writer);
    std::string line = "socket: " + KindWord(*ic, body);
    line += "; body " + (ic->bodyCode ? Hex(*ic->bodyCode, 2) : std::string("any"));
    line += "; banks used:";
    if (!ic->usedBanks) line += " none";
    for (int b = 0; b < Ic::kBanks; ++b)
        if (ic->usedBanks & (1 << b)) line += " " + std::to_string(b);
    line += "; test code:";
    for (size_t i = 0; i + 1 < ic->testCode.size(); i += 2) line += " " + Hex(ic->testCode[i] | (ic->testCode[i + 1] << 8), 4);
    return line + "; " + rolling;
}

bool BankMatchesImage(const WriterEmulator& writer, const Ic& ic, const HeldBody& body) {
    const std::vector<uint8_t>& cells = ic.banks[static_cast<size_t>(body.bank)];
    for (size_t i = 0; i < body.bytes; ++i)
        if (!body.InRollingArea(i) && cells[i] != writer.Peek(WriterEmulator::kImageAddr + static_cast<uint32_t>(i)))
            return false;
    return true;
}

}  // namespace otp::emu
