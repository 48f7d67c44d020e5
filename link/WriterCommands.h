#pragma once
// The writer's command bytes and memory map, and the byte sender.
#include <array>
#include <cstdint>

#include "link/Context.h"

namespace otp {

enum class Cmd : uint8_t {
    BlockRead = 0x57,       // 'W'
    BodyInfoWrite = 0x75,   // 'u'
    OptionWrite = 0x77,     // 'w'
    ImageStream = 0x6D,     // 'm'
    BlankCheck = 0x63,      // 'c'
    Program = 0x65,         // 'e'
    Verify = 0x67,          // 'g'
    Copy = 0x6B,            // 'k'
    ReadOtp = 0x69,         // 'i'
    TestCodeRead = 0x51,    // 'Q'
    TestCodeWrite = 0x53,   // 'S'
    BankSearch = 0x55,      // 'U'
    FirmwareUpdate = 0x6F,  // 'o'
};

struct CommandInfo {
    Cmd cmd;
    const char* name;
    int pauseMs;  // the pause after the command byte itself
};

// The one table of every command the host sends.
inline constexpr CommandInfo kCommands[] = {
    {Cmd::BlockRead, "CmdBlockRead", 1},        {Cmd::BodyInfoWrite, "CmdBodyInfoWrite", 5},
    {Cmd::OptionWrite, "CmdOptionWrite", 1},    {Cmd::ImageStream, "CmdImageStream", 1},
    {Cmd::BlankCheck, "CmdBlankCheck", 10},     {Cmd::Program, "CmdProgram", 10},
    {Cmd::Verify, "CmdVerify", 10},             {Cmd::Copy, "CmdCopy", 1},
    {Cmd::ReadOtp, "CmdReadOtp", 30},           {Cmd::TestCodeRead, "CmdTestCodeRead", 200},
    {Cmd::TestCodeWrite, "CmdTestCodeWrite", 200}, {Cmd::BankSearch, "CmdBankSearch", 200},
    {Cmd::FirmwareUpdate, "CmdFirmwareUpdate", 1},
};

const CommandInfo& CommandFor(Cmd cmd);

// Writer memory, area 1, as the host reads it.
inline constexpr uint8_t kArea = 1;
inline constexpr int kAddrVersion = 0x0400;
inline constexpr int kAddrImage = 0x4000;
inline constexpr int kAddrOptions = 0x7F80;
inline constexpr int kAddrBodyInfo = 0x7F90;
inline constexpr int kAddrOtpImage = 0x8000;
inline constexpr int kAddrOtpOptions = 0xBF80;
inline constexpr int kVersionBytes = 8;
inline constexpr int kOptionWireBytes = 16;
inline constexpr int kBlockChunk = 4096;

// The bytes that follow CmdBlockRead: area, address and length (low byte
// first), and two zeros.
std::array<uint8_t, 7> BlockReadRequest(uint8_t area, int address, int length);

// Sends one byte, then pauses. With the echo check it drains the reply and
// tells whether its first byte is the one sent; otherwise true.
bool SendCommandByte(Context& ctx, uint8_t byte, int pauseMs, bool echoCheck = false);
// Starts an exchange: throws away what has arrived unasked, then sends the
// command byte with the pause of its table entry.
void SendCommand(Context& ctx, Cmd cmd);

// Sends a run of bytes, each followed by its pause, paced from one start:
// byte k is due when the pauses before it have run out, counted from the
// first byte, so a late wake-up is caught up instead of added to every
// byte after it.
class PacedSender {
public:
    explicit PacedSender(Context& ctx);
    void Send(uint8_t byte, int pauseMs);
    // A command byte that starts an exchange, as SendCommand sends it.
    void Command(Cmd cmd);

private:
    Context& ctx_;
    int64_t dueMs_;
};

}  // namespace otp
