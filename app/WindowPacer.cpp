#include "app/WindowPacer.h"

#include <algorithm>
#include <thread>

#include "app/EventPump.h"
#include "app/InputGuard.h"

namespace otp {

WindowPacer::WindowPacer(InputGuard& guard, EventPump& pump) : guard_(guard), pump_(pump), start_(Clock::now()) {}

void WindowPacer::Sleep(int ms) { WaitUntil(Clock::now() + std::chrono::milliseconds(std::max(ms, 0))); }

void WindowPacer::SleepUntil(int64_t deadlineMs) { WaitUntil(start_ + std::chrono::milliseconds(deadlineMs)); }

void WindowPacer::WaitUntil(Clock::time_point end) {
    InputGuard::Hold hold(guard_);
    for (;;) {
        pump_.RunIfDue();
        const Clock::time_point now = Clock::now();
        if (now >= end) return;
        // A pause asked for from inside a run finds the run still due.
        const Clock::time_point due = pump_.Due() > now ? pump_.Due() : now + EventPump::kInterval;
        std::this_thread::sleep_until(std::min(end, due));
    }
}

bool WindowPacer::SleepUntilArrival(int64_t deadlineMs, PortWake* wake) {
    if (!wake) {
        SleepUntil(deadlineMs);
        return false;
    }
    InputGuard::Hold hold(guard_);
    for (;;) {
        pump_.RunIfDue();
        const Clock::time_point now = Clock::now();
        const Clock::time_point due = pump_.Due() > now ? pump_.Due() : now + EventPump::kInterval;
        // The stretch's end on this clock, rounded up: it never ends before the pump is due.
        const int64_t dueMs = (std::chrono::duration_cast<std::chrono::microseconds>(due - start_).count() + 999) / 1000;
        if (dueMs >= deadlineMs) return Pacer::SleepUntilArrival(deadlineMs, wake);
        if (Pacer::SleepUntilArrival(dueMs, wake)) return true;
    }
}

int64_t WindowPacer::NowMs() const {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start_).count();
}

}  // namespace otp
