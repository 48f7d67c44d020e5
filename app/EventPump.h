#pragma once
// While a handler runs, the window's events and paints are run from inside
// it: by the view operations and by the pauses. They all come here, and the
// events run at most every kInterval, so that a handler made of many small
// steps (an image stream: one byte, a 1 ms pause, a progress step) spends
// its time on the line rather than on the screen.
#include <chrono>
#include <functional>

namespace otp {

class EventPump {
public:
    using Clock = std::chrono::steady_clock;
    static constexpr std::chrono::milliseconds kInterval{30};

    // Runs when the last run began at least kInterval ago; true when it ran.
    bool RunIfDue();
    // Runs now, however recent the last run.
    void Run();
    // When the next run is due.
    Clock::time_point Due() const { return last_ + kInterval; }

    // Called at the start of every run, before the events: paints what the
    // window held back since the last run.
    std::function<void()> beforeEvents;

private:
    Clock::time_point last_{};  // the clock's epoch: the first run is due at once
    bool running_ = false;
};

}  // namespace otp
