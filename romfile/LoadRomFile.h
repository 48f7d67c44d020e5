#pragma once
// Load ROM File: a .rom file into the state and the writer, each part read
// back and compared.
#include "link/Context.h"
#include "link/Outcome.h"

namespace otp {

// The menu entry "Load ROM File". Failed when the file cannot be found or
// read, values were ignored, or the writer's read-back did not match;
// Refused when the file names no body Writer.ini supports or its LENGTH
// does not fit the image.
Outcome LoadROMFile1Click(Context& ctx);

// Sends the selected body's description (with the lock bit of option byte
// 0), the option bytes and ObjectLength image values, reading each back.
// Failed when the port did not open, a read-back came back short or
// differed.
Outcome DownloadToWriter(Context& ctx);

}  // namespace otp
