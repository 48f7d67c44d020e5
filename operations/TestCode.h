#pragma once
// The Testcode menu: read the test code of the IC in the socket, or have the
// writer write the body's test code into it.
#include "link/Context.h"
#include "link/Outcome.h"

namespace otp {

// Testcode > Read. Refused for a body without a test code (the port is not
// opened); Failed when fewer than two bytes came back.
Outcome Read1Click(Context& ctx);
// Testcode > Write, after the operator confirms the body. Refused when not
// confirmed, for a body without a test code, and for an MTP body.
Outcome Write1Click(Context& ctx);

}  // namespace otp
