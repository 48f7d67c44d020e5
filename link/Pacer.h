#pragma once
// Every pause of the program goes through this one interface: the real
// pacer sleeps, the window's keeps painting while it sleeps, and the tests'
// advances virtual time only.
#include <cstdint>

namespace otp {

class Pacer {
public:
    virtual ~Pacer() = default;
    virtual void Sleep(int ms) = 0;
    // Milliseconds since an arbitrary start; the emulated writer stamps its
    // replies against this clock.
    virtual int64_t NowMs() const = 0;
    virtual void SleepUntil(int64_t deadlineMs) { const int64_t left = deadlineMs - NowMs(); if (left > 0) Sleep(static_cast<int>(left)); }
};

// Sleeps on the calling thread.
class RealPacer : public Pacer {
public:
    RealPacer();
    void Sleep(int ms) override;
    int64_t NowMs() const override;

private:
    int64_t startNs_;
};

// Test time: Sleep only advances the clock.
class VirtualPacer : public Pacer {
public:
    void Sleep(int ms) override { if (ms > 0) now_ += ms; }
    int64_t NowMs() const override { return now_; }

private:
    int64_t now_ = 0;
};

}  // namespace otp
