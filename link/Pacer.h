#pragma once
// Every pause of the program goes through this one interface: the real
// pacer sleeps, the window's keeps painting while it sleeps, and the tests'
// advances virtual time only.
#include <cstdint>
#include <limits>
#include <optional>

namespace otp {

// What a port gives a sleep that bytes arriving on it should end. Neither
// call takes a byte: the next drain finds every one of them.
class PortWake {
public:
    // No byte is on its way, for a port that knows ahead.
    static constexpr int64_t kNoByte = std::numeric_limits<int64_t>::max();

    virtual ~PortWake() = default;
    // A port that knows ahead when its next byte can be taken (the emulated
    // writer) tells it on its pacer's clock, or kNoByte; a port that learns
    // of a byte only when it comes tells nothing, and is waited on instead.
    virtual std::optional<int64_t> NextByteMs() { return std::nullopt; }
    // Blocks the calling thread until a byte can be taken (true) or
    // `timeoutMs` has passed (false); 0 only asks. A port that knows ahead
    // never blocks here.
    virtual bool AwaitByte(int timeoutMs) = 0;
};

class Pacer {
public:
    virtual ~Pacer() = default;
    virtual void Sleep(int ms) = 0;
    // Sleeps until the clock reads `deadlineMs`; a deadline already past
    // returns at once. Paced streams use it, so that a late wake-up is
    // caught up by the next byte instead of added to every byte after it.
    virtual void SleepUntil(int64_t deadlineMs) {
        const int64_t left = deadlineMs - NowMs();
        if (left > 0) Sleep(static_cast<int>(left));
    }
    // Sleeps until a byte can be taken from the port `wake` stands for (true)
    // or the clock reads `deadlineMs` (false), so that a wait for an answer
    // sleeps through the line's silence instead of looking at it. A byte
    // already there returns at once. Without a wake (a port that cannot
    // give one) it sleeps until the deadline. This one serves a real clock.
    virtual bool SleepUntilArrival(int64_t deadlineMs, PortWake* wake);
    // Milliseconds since an arbitrary start; the emulated writer stamps its
    // replies against this clock.
    virtual int64_t NowMs() const = 0;
};

// Sleeps on the calling thread.
class RealPacer : public Pacer {
public:
    RealPacer();
    void Sleep(int ms) override;
    void SleepUntil(int64_t deadlineMs) override;
    int64_t NowMs() const override;

private:
    int64_t startNs_;
};

// Test time: Sleep only advances the clock.
class VirtualPacer : public Pacer {
public:
    void Sleep(int ms) override { if (ms > 0) now_ += ms; }
    void SleepUntil(int64_t deadlineMs) override { if (deadlineMs > now_) now_ = deadlineMs; }
    // The clock jumps to the port's next byte when that comes first; a port
    // that cannot tell ahead is only asked whether a byte is there now.
    bool SleepUntilArrival(int64_t deadlineMs, PortWake* wake) override;
    int64_t NowMs() const override { return now_; }

private:
    int64_t now_ = 0;
};

}  // namespace otp
