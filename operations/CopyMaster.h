#pragma once
// Copy: the writer takes over a programmed master IC; the host then takes
// the copy over from the writer.
#include "link/Context.h"
#include "link/Outcome.h"

namespace otp {

// The "Copy" button. Failed on the connect-error and copy-fail lines.
Outcome Button5Click(Context& ctx);

}  // namespace otp
