#include "link/Pacer.h"

#include <chrono>
#include <thread>

namespace otp {
namespace {
int64_t SteadyNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}
}  // namespace

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
