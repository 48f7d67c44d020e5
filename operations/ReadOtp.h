#pragma once
// Read: the writer reads the IC into its memory; the host shows the
// checksum reply, the IC's option bytes and its program memory.
#include "link/Context.h"
#include "link/Outcome.h"

namespace otp {

// The "Read" button. Display only: RomImage, OptionBytes, the stored sums
// and Edit1 stay as they are. Failed on the connect-error and read-error
// lines. The object read is bounded by ReadBackBuffer: a body longer than
// it is read and shown up to what the buffer holds.
Outcome Button6Click(Context& ctx);

}  // namespace otp
