#pragma once
// While it lives, Ctrl-C (SIGINT) sets a flag instead of ending the program,
// and interrupts a wait for the operator's input; afterwards Ctrl-C does
// what it did before.
#include <signal.h>

#include <csignal>

namespace otp {

class InterruptCatcher {
public:
    explicit InterruptCatcher(bool active) : active_(active) {
        caught_ = 0;
        if (!active_) return;
        struct sigaction sa {};
        sa.sa_handler = [](int) { caught_ = 1; };
        sigemptyset(&sa.sa_mask);
        sa.sa_flags = 0;  // no restart: a read waiting for Enter returns
        sigaction(SIGINT, &sa, &before_);
    }
    ~InterruptCatcher() {
        if (active_) sigaction(SIGINT, &before_, nullptr);
    }
    InterruptCatcher(const InterruptCatcher&) = delete;
    InterruptCatcher& operator=(const InterruptCatcher&) = delete;

    const volatile std::sig_atomic_t* Flag() const { return &caught_; }

private:
    static inline volatile std::sig_atomic_t caught_ = 0;
    bool active_;
    struct sigaction before_ {};
};

}  // namespace otp
