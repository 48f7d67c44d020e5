#pragma once

namespace otp {

// What an operation reports to a caller that wants an exit status; the
// window ignores it.
enum class Outcome { Done, Failed, Refused };

// The worse of two outcomes: Failed is worse than Refused, Refused worse than Done.
inline Outcome Worse(Outcome a, Outcome b) {
    const auto rank = [](Outcome o) { return o == Outcome::Failed ? 2 : o == Outcome::Refused ? 1 : 0; };
    return rank(b) > rank(a) ? b : a;
}

}  // namespace otp
