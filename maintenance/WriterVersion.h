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

// The "Version" menu entry.
Outcome Version1Click(Context& ctx);

}  // namespace otp
