#pragma once
// The writer's firmware version: eight bytes at 0x0400, one digit each.
#include <string>

#include "link/Context.h"
#include "link/Outcome.h"

namespace otp {

// Block-reads the version bytes (the port must be open) and makes the text:
// the low hex digit of every byte received. A version that came whole is
// kept in WriterVersion.
std::string ReadWriterVersion(Context& ctx);

// A block read that did not come whole, told as a finding of what the host
// saw (the port must still be open): "the version answer came 400 ms after
// the wait", "no version answer within 1100 ms", or "the writer answered 3
// bytes where 8 were asked". The line a caller shows for it may blame
// something else: a missing answer read as another version.
void NoteShortAnswer(Context& ctx, const std::string& what, int received, int requested);

// The "Version" menu entry.
Outcome Version1Click(Context& ctx);

}  // namespace otp
