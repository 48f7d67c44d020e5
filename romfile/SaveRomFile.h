#pragma once
// Save ROM File: the selected body, its option bytes and the image into a
// .rom file, headed by the body's option text from Writer.ini.
#include "link/Context.h"
#include "link/Outcome.h"

namespace otp {

// The menu entry "Save ROM File". Refused when no body is selected; Failed
// when Writer.ini cannot be read or the file cannot be written (the file
// that was there stays as it was).
Outcome SaveROMFile1Click(Context& ctx);

}  // namespace otp
