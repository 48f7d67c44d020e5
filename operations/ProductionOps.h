#pragma once
// The four production buttons: Auto, Blank Check, Program, Verify. The
// writer works from the image it holds; the host sends one command byte,
// waits the selected body's time and judges the reply.
#include "link/Context.h"
#include "link/Outcome.h"

namespace otp {

// The refusal of Auto, Program and Verify while the writer's image is unknown.
inline constexpr const char* kImageNotVerified =
    "The writer's image is not verified (a load, copy or update did not end well, or the start-up did not read "
    "it): load the ROM file again !!!";

// Verdicts on the reply just drained.
// Exactly one byte, 0x00.
bool BlankCheckOk(const WriterState& s);
// One byte 0x00, or 17 bytes whose byte 16 is 0x00.
bool ProgramOk(const WriterState& s);
// At least one byte, the first 0x00.
bool VerifyOk(const WriterState& s);

// After a program reply: with rolling code on (BodyInfo byte 4 bit 5) and
// 17 bytes drained, the eight words go to RomImage at 0x1F8 (byte 8 bit 4)
// or 0x3F8 and to ReadBackBuffer 0-7, are dumped to RichEdit2, and Edit1
// shows the stored TotalChecksum. Otherwise nothing happens.
void ShowRollingCode(Context& ctx);

// Auto: blank check, then program only when the IC is blank.
Outcome Button1Click(Context& ctx);
// Blank Check.
Outcome Button2Click(Context& ctx);
// Program (programs and verifies in one pass).
Outcome Button3Click(Context& ctx);
// Verify.
Outcome Button4Click(Context& ctx);

}  // namespace otp
