#pragma once
// Replacing the writer's firmware with the file Writer.ini names.
#include <string>

#include "link/Context.h"
#include "link/Outcome.h"

namespace otp {

// A writer version above this one stores a new firmware within a fixed wait.
inline constexpr const char* kFixedWaitVersion = "12071000";
// The first 1024 bytes of a firmware file are never sent.
inline constexpr int kFirmwareBodyStart = 0x0400;

// The "Update Writer" menu entry.
Outcome UpdateWriter1Click(Context& ctx);

// Whether a writer version gets the fixed wait: compared as text on the
// unsigned character codes, a text that begins the other counting as smaller.
bool HasFixedUpdateWait(const std::string& version);

}  // namespace otp
