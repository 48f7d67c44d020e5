#pragma once
// While it lives, the signals that ask a run to stop (Ctrl-C's SIGINT,
// SIGTERM, and SIGHUP when the terminal goes; on Windows the console's
// Ctrl-C, Ctrl-Break and closing) set a flag instead of ending the program:
// the operation under way finishes and is recorded, and the run stops after
// it. They also interrupt a wait for the operator's input. Afterwards they do
// what they did before.
#include <atomic>
#include <csignal>
#include <string>

namespace otp {

class InterruptCatcher {
public:
    // `stopsAfter` ends the line each signal gets: what the run stops after.
    explicit InterruptCatcher(bool active, const char* stopsAfter = "the step under way");
    ~InterruptCatcher();
    InterruptCatcher(const InterruptCatcher&) = delete;
    InterruptCatcher& operator=(const InterruptCatcher&) = delete;

    // Non-zero once a signal asked the run to stop.
    const volatile std::sig_atomic_t* Flag() const { return &caught_; }
    // The first signal caught; 0 while none was.
    static int Caught() { return caught_; }
    // Changes what the signals' line says the run stops after.
    static void StopsAfter(const char* what) { stopsAfter_ = what; }
#ifdef _WIN32
    // A console event as the handler takes it, without the wait a closing
    // console gets: true when the program goes on (Ctrl-C, Ctrl-Break).
    static bool OnConsoleEvent(unsigned long event);
#endif

    // While one lives, a work that cut short would leave the writer without
    // firmware is under way: a signal is told that it must finish first.
    class MustFinish {
    public:
        explicit MustFinish(bool on) : on_(on) {
            if (on_) ++mustFinish_;
        }
        ~MustFinish() {
            if (on_) --mustFinish_;
        }
        MustFinish(const MustFinish&) = delete;
        MustFinish& operator=(const MustFinish&) = delete;

    private:
        bool on_;
    };

private:
    static void Catch(int sig);

    static inline volatile std::sig_atomic_t caught_ = 0;
    // How many such works are under way: one per writer of a station. Lock-free,
    // so the handler may read it.
    static inline std::atomic<int> mustFinish_{0};
    static inline const char* volatile stopsAfter_ = "the step under way";
    bool active_;
};

// "SIGINT", "SIGTERM", ... ("Ctrl-C", "Ctrl-Break", "the console's closing"
// on Windows): how a signal is named in the run's messages.
std::string SignalName(int sig);

}  // namespace otp
