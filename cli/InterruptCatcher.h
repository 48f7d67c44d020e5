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
#ifdef _WIN32
        // The C runtime of Windows puts the default back before it calls a
        // handler, so the handler puts itself in again: every Ctrl-C is caught.
        before_ = std::signal(SIGINT, Catch);
#else
        struct sigaction sa {};
        sa.sa_handler = Catch;
        sigemptyset(&sa.sa_mask);
        sa.sa_flags = 0;  // no restart: a read waiting for Enter returns
        sigaction(SIGINT, &sa, &before_);
#endif
    }
    ~InterruptCatcher() {
        if (!active_) return;
#ifdef _WIN32
        std::signal(SIGINT, before_);
#else
        sigaction(SIGINT, &before_, nullptr);
#endif
    }
    InterruptCatcher(const InterruptCatcher&) = delete;
    InterruptCatcher& operator=(const InterruptCatcher&) = delete;

    const volatile std::sig_atomic_t* Flag() const { return &caught_; }

private:
    static void Catch(int) {
        caught_ = 1;
#ifdef _WIN32
        std::signal(SIGINT, Catch);
#endif
    }

    static inline volatile std::sig_atomic_t caught_ = 0;
    bool active_;
#ifdef _WIN32
    void (*before_)(int) = SIG_DFL;
#else
    struct sigaction before_ {};
#endif
};

}  // namespace otp
