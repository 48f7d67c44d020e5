#pragma once

namespace otp {

// What an operation reports to a caller that wants an exit status; the
// window ignores it.
enum class Outcome { Done, Failed, Refused };

inline Outcome Worse(Outcome a, Outcome b) { return a == Outcome::Done ? b : a; }

}  // namespace otp
