#include "link/Pacer.h"

#include <algorithm>
#include <chrono>
#include <climits>
#include <thread>

namespace otp {
namespace {
int64_t SteadyNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}
}  // namespace

bool Pacer::SleepUntilArrival(int64_t deadlineMs, PortWake* wake) {
    if (!wake) {
        SleepUntil(deadlineMs);
        return false;
    }
    for (;;) {
        if (const std::optional<int64_t> next = wake->NextByteMs()) {
            const int64_t until = std::min(*next, deadlineMs);
            // A system's sleep may end a hair before the millisecond asked
            // for (Windows), and the byte is not there before it.
            while (NowMs() < until) SleepUntil(until);
            return *next <= deadlineMs;
        }
        // The port blocks; it may return before its time without a byte
        // (a signal), and then blocks again for what is left.
        const int64_t left = deadlineMs - NowMs();
        if (left <= 0) return wake->AwaitByte(0);
        if (wake->AwaitByte(static_cast<int>(std::min<int64_t>(left, INT_MAX)))) return true;
    }
}

bool VirtualPacer::SleepUntilArrival(int64_t deadlineMs, PortWake* wake) {
    if (wake) {
        if (const std::optional<int64_t> next = wake->NextByteMs()) {
            if (*next <= deadlineMs) {
                SleepUntil(*next);
                return true;
            }
        } else if (wake->AwaitByte(0)) {
            return true;
        }
    }
    SleepUntil(deadlineMs);
    return false;
}

RealPacer::RealPacer() : startNs_(SteadyNs()) {}

void RealPacer::Sleep(int ms) {
    if (ms > 0) std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

void RealPacer::SleepUntil(int64_t deadlineMs) {
    const auto deadline = std::chrono::steady_clock::time_point(std::chrono::nanoseconds(startNs_)) +
                          std::chrono::milliseconds(deadlineMs);
    std::this_thread::sleep_until(deadline);
}

int64_t RealPacer::NowMs() const { return (SteadyNs() - startNs_) / 1000000; }

}  // namespace otp
