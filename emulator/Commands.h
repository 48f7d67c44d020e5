#pragma once
// The writer's command handlers, one maker per command byte. Each handler
// lives in its own file; StandardCommands.cpp puts them in the command table.
#include <memory>

#include "emulator/WriterEmulator.h"

namespace otp::emu {

// 'W' 0x57, block read: area, address low, address high, length low, length
// high and two further bytes (sent as 0x00, not looked at) follow. The answer
// is `length` bytes of area 1 from the address, wrapping at 64 KiB. The
// writer has no other area: a read of any other area, or of length 0, gets no
// answer.
std::unique_ptr<WriterCommand> MakeBlockRead();

// 'u' 0x75: the 16 BodyInfo bytes follow and are stored from 0x7F90. No answer.
std::unique_ptr<WriterCommand> MakeBodyInfoWrite();

// 'w' 0x77: the 16 option bytes follow and are stored from 0x7F80. No answer.
std::unique_ptr<WriterCommand> MakeOptionWrite();

// 'm' 0x6D, image stream: as many values as the BodyInfo held at the command
// byte describes (1 byte per value in ByteMode, 2 low first in WordMode),
// stored from 0x4000 as they arrive. A stream that stops early ends when the
// line idles out; a count of 0 ends the command at once. No answer.
std::unique_ptr<WriterCommand> MakeImageStream();

// 'o' 0x6F, firmware update: count low, count high, then that many bytes,
// stored from 0x0400 as they arrive (the first 8 are the version digits).
// Once all have arrived the writer stores them into its flash and is busy:
// 100 us per byte when the firmware running before the update is newer than
// 12071000, 1.2 ms per byte otherwise. No answer.
std::unique_ptr<WriterCommand> MakeFirmwareUpdate();

}  // namespace otp::emu
