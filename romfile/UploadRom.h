#pragma once
// Upload ROM: the body description, option bytes and image the writer holds
// become the state's.
#include "link/Context.h"
#include "link/Outcome.h"

namespace otp {

// The menu entry "Upload ROM". Failed when the port did not open or a read
// came back short.
Outcome UploadtoWriter1Click(Context& ctx);

}  // namespace otp
