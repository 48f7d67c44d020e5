#pragma once
#include "link/Context.h"
#include "operations/Outcome.h"

namespace otp {

// What the creation of the main window does before it is first shown: read
// Writer.ini, check the writer on the configured port, take over what it holds.
Outcome RunStartup(Context& ctx);

}  // namespace otp
