#pragma once
// What both real ports do to wait until their bytes have left: bounded where
// the system's own drain is not. While the driver's queue shrinks the wait
// goes on; once it has stood still for kStallMs the line has stopped.
#include <chrono>
#include <functional>

#include "link/Pacer.h"

namespace otp {

// The time a port waits for a queue or a write that makes no progress.
inline constexpr int kStallMs = 2000;

// `queued` tells how many bytes still wait to be sent (negative when the port
// cannot tell, which ends the wait). True once they have all left, false
// when the queue stood still for kStallMs.
inline bool WaitForEmptySendQueue(Pacer& pacer, const std::function<long()>& queued) {
    using Clock = std::chrono::steady_clock;
    long last = -1;
    Clock::time_point progress = Clock::now();
    for (;;) {
        const long now = queued();
        if (now <= 0) return true;
        if (now != last) {
            last = now;
            progress = Clock::now();
        } else if (Clock::now() - progress >= std::chrono::milliseconds(kStallMs)) {
            return false;
        }
        pacer.Sleep(1);
    }
}

}  // namespace otp
