#pragma once
// The window's pacer: a pause blocks the handler that asked for it, but the
// window goes on painting through the event pump, at most every
// EventPump::kInterval and at least that often during a longer pause, while
// the input guard keeps the operator's input away from it. A short pause (a
// byte of a stream) mostly just sleeps.
#include <chrono>
#include <cstdint>

#include "link/Pacer.h"

namespace otp {

class EventPump;
class InputGuard;

class WindowPacer : public Pacer {
public:
    WindowPacer(InputGuard& guard, EventPump& pump);

    void Sleep(int ms) override;
    // Waits for the deadline itself: a stream that has fallen behind its
    // deadlines still lets a due run of the pump paint, and the deadline is
    // kept to the clock's tick rather than NowMs's whole milliseconds.
    void SleepUntil(int64_t deadlineMs) override;
    // Waits on the port in stretches that end when the pump is due, and
    // pumps between them, so a wait for an answer paints as a pause does.
    bool SleepUntilArrival(int64_t deadlineMs, PortWake* wake) override;
    int64_t NowMs() const override;

private:
    using Clock = std::chrono::steady_clock;
    void WaitUntil(Clock::time_point end);

    InputGuard& guard_;
    EventPump& pump_;
    Clock::time_point start_;
};

}  // namespace otp
