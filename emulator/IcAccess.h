#pragma once
// What the writer's IC commands share: the body description the writer
// holds, the check that there is an IC it can work on, the status bytes and
// the time the work takes; and the socket states a person can set.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "emulator/IcSocket.h"
#include "emulator/WriterEmulator.h"

namespace otp::emu {

// Status bytes of the IC commands (see Commands.h for which command uses
// which).
inline constexpr uint8_t kIcOk = 0x00;
inline constexpr uint8_t kIcLocked = 0x01;
inline constexpr uint8_t kIcCellsWrong = 0x02;
inline constexpr uint8_t kIcUnreachable = 0x03;
inline constexpr uint8_t kIcOtherBody = 0x04;

// Time the writer takes, in microseconds.
inline constexpr int64_t kIcQuickUs = 2000;       // an answer that touches no cell
inline constexpr int64_t kIcSetUpUs = 5000;       // raising the programming supply
inline constexpr int64_t kBlankCheckUsPerValue = 50;
inline constexpr int64_t kProgramUsPerValue = 1000;  // program and verify of one value
inline constexpr int64_t kVerifyUsPerValue = 100;
inline constexpr int64_t kReadUsPerValue = 100;
inline constexpr int64_t kCopyUsPerValue = 200;
inline constexpr int64_t kBankSearchUs = 20000;
inline constexpr int64_t kTestCodeReadUs = 20000;
inline constexpr int64_t kTestCodeWriteUs = 50000;

// A 16-byte body description, taken apart.
struct HeldBody {
    std::array<uint8_t, WriterEmulator::kBodyInfoSize> info{};
    uint8_t code = 0;   // byte 1
    uint8_t flags = 0;  // byte 4
    uint8_t caps = 0;   // byte 8
    int count = 0;      // values, bytes 5-6
    int bytesPerValue = 1;
    size_t bytes = 0;   // count x bytesPerValue, at most one bank
    int bank = 0;       // byte 13 bits 7-5 when the body has a bank choice
    int bankCount = 1;  // 8, or 2 for a two-bank body
    bool lockOn = false;
    bool rollingOn = false;
    int rollingBase = 0;  // first value of the rolling code: 0x1F8 or 0x3F8
    bool hasTestCode = false;

    // Whether the cell at `byteIndex` belongs to the eight rolling-code
    // values, when rolling code is on.
    bool InRollingArea(size_t byteIndex) const;
};

HeldBody DescribeBody(const std::array<uint8_t, WriterEmulator::kBodyInfoSize>& info);
// The description at 0x7F90.
HeldBody ReadHeldBody(const WriterEmulator& writer);

// 0 when the socket holds an IC the writer can reach and it fits the body;
// otherwise kIcUnreachable (empty socket, contact fault) or kIcOtherBody.
uint8_t SocketProblem(const WriterEmulator& writer, const HeldBody& body);

// Whether the IC's bank holds the writer's image (the rolling-code place
// aside, which each IC has its own of).
bool BankMatchesImage(const WriterEmulator& writer, const Ic& ic, const HeldBody& body);

// A command that is complete with its command byte and works on the IC in
// the socket: a socket problem is answered at once, otherwise Answer runs on
// the IC the socket holds.
class SocketCommand : public WriterCommand {
public:
    bool Start(WriterEmulator& writer) final {
        const HeldBody body = ReadHeldBody(writer);
        if (const uint8_t problem = SocketProblem(writer, body))
            writer.Reply({problem}, kIcQuickUs);
        else
            Answer(writer, body, *writer.Socket().Held());
        return true;
    }
    bool Take(uint8_t, WriterEmulator&) final { return true; }

protected:
    virtual void Answer(WriterEmulator& writer, const HeldBody& body, Ic& ic) = 0;
};

// The 16-bit sum of the first body.count values of a bank (values low byte
// first in WordMode).
uint16_t BankSum(const Ic& ic, int bank, const HeldBody& body);

// Puts an IC of the given kind into the socket (None empties it). A
// programmed or locked IC belongs to the body the writer holds at that
// moment and carries MasterCell(i) in bank 0.
void PutInSocket(WriterEmulator& writer, IcKind kind);
uint8_t MasterCell(size_t index);

// One line on what the socket holds, e.g.
// "socket: programmed; body 00; banks used: 0; test code: 7E00 81FF; next rolling code: 0100".
std::string SocketStatus(const WriterEmulator& writer);

}  // namespace otp::emu
