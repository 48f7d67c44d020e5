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

// --- the IC in the socket (IcSocket.h, IcAccess.h) ---------------------------
// These commands take no bytes after the command byte. They work on the bank
// that the BodyInfo held at 0x7F90 selects (byte 13 bits 7-5 for a body with
// a bank choice, else bank 0), on count = bytes 5-6 values of 1 byte
// (ByteMode, byte 4 bit 7 set) or 2 bytes low first (WordMode).
// Status bytes:
//   0x00 done;
//   0x01 the IC is locked;
//   0x02 the cells are not as the command needs them (not blank, differ
//        from the image, blank master, no such bank, test code differs);
//   0x03 no IC the writer can reach: empty socket (copy: 0x02 instead),
//        a contact fault, or a bank the package does not have;
//   0x04 the IC is made for another body (its body code is not byte 1).
// Unless said otherwise an answer that touches no cell comes after 2 ms,
// the others after 5 ms plus a time per value.

// 'c' 0x63, blank check: 0x00 for a blank bank of an unlocked IC, 0x01 for a
// locked IC, 0x02 when a cell is programmed. 50 us per value.
std::unique_ptr<WriterCommand> MakeBlankCheck();

// 'e' 0x65, program and verify: the image at 0x4000 and the options at 0x7F80
// go into the IC (cells AND values); the IC takes the body code and keeps the
// BodyInfo as its own description; byte 4 bit 6 locks it afterwards. With
// rolling code on (byte 4 bit 5) the next eight rolling-code words go to
// values 0x1F8-0x1FF (byte 8 bit 4 set) or 0x3F8-0x3FF instead of the image's,
// and the answer starts with them as 16 bytes, low byte first. The last
// answer byte is the verify status: 0x00 when every value outside the
// rolling code equals the image and the rolling-code cells hold the words
// just given (a chip programmed before keeps its zeros, so a second code
// mixes with the first), else 0x02. A locked IC answers 0x01 alone.
// 1 ms per value, during which the writer takes no bytes: a host that waits
// less sees no answer.
std::unique_ptr<WriterCommand> MakeProgram();

// 'g' 0x67, verify: 0x00 when every value (outside the rolling code, when it
// is on) equals the image, else 0x02; a locked IC is compared too. 100 us
// per value.
std::unique_ptr<WriterCommand> MakeVerify();

// 'i' 0x69, read: the bank goes to 0x8000 (0x3F80 bytes; zeros for a locked
// IC) and the option bytes to 0xBF80. Answer: 0x01 for a locked IC, 0x02 for
// a blank bank, else the 16-bit sum of the count values, high byte first,
// and 0x00. 100 us per value.
std::unique_ptr<WriterCommand> MakeReadOtp();

// 'k' 0x6B, copy: the master's bank goes to 0x4000, its options to 0x7F80
// and its own description (that of the writer for a master never
// programmed by a writer) to 0x7F90. Answer: 0x00 done, 0x01 locked master,
// 0x02 blank master or empty socket, 0x03, 0x04. 200 us per value of the
// master, during which the writer takes no bytes.
std::unique_ptr<WriterCommand> MakeCopy();

// 'U' 0x55, bank search among the 8 banks (2 with byte 8 bit 3): byte 4
// bit 2 set looks for the first bank never programmed, clear for the last
// one programmed. Found: bits 7-5 of BodyInfo byte 13 take its number and
// the answer is 0x00; none: 0x02. After 20 ms.
std::unique_ptr<WriterCommand> MakeBankSearch();

// 'Q' 0x51, test code read: the IC's test code bytes (4 for an IC the
// emulator makes: two words, low byte first; 0xFF when never written), after
// 20 ms; one byte 0x03 when no IC can be reached. The body is not checked.
std::unique_ptr<WriterCommand> MakeTestCodeRead();

// 'S' 0x53, test code write: the body's test code (0x7E00 | code,
// 0x8100 | code XOR 0xFF) goes into the IC's; 0x00 when the IC then holds
// it, else 0x02. After 50 ms.
std::unique_ptr<WriterCommand> MakeTestCodeWrite();

}  // namespace otp::emu
