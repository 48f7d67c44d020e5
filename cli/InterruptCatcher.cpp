#include "cli/InterruptCatcher.h"

#include <signal.h>
#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace otp {
namespace {

#ifdef _WIN32
const int kStopSignals[] = {SIGINT, SIGTERM, SIGBREAK};
void (*before[3])(int) = {SIG_DFL, SIG_DFL, SIG_DFL};
#else
const int kStopSignals[] = {SIGINT, SIGTERM, SIGHUP};
struct sigaction before[3];
#endif

// Only what may be called in a signal handler: a plain write to stderr.
void Say(const char* text) {
    int n = 0;
    while (text[n]) ++n;
#ifdef _WIN32
    (void)_write(2, text, static_cast<unsigned>(n));
#else
    (void)!write(STDERR_FILENO, text, static_cast<size_t>(n));
#endif
}

const char* Name(int sig) {
    switch (sig) {
        case SIGINT: return "SIGINT";
        case SIGTERM: return "SIGTERM";
#ifdef _WIN32
        case SIGBREAK: return "SIGBREAK";
#else
        case SIGHUP: return "SIGHUP";
#endif
    }
    return "a signal";
}

}  // namespace

std::string SignalName(int sig) { return Name(sig); }

InterruptCatcher::InterruptCatcher(bool active, const char* stopsAfter) : active_(active) {
    caught_ = 0;
    stopsAfter_ = stopsAfter;
    if (!active_) return;
    for (int i = 0; i < 3; ++i) {
#ifdef _WIN32
        before[i] = std::signal(kStopSignals[i], Catch);
#else
        struct sigaction sa {};
        sa.sa_handler = Catch;
        sigemptyset(&sa.sa_mask);
        for (const int sig : kStopSignals) sigaddset(&sa.sa_mask, sig);
        sa.sa_flags = 0;  // no restart: a read waiting for Enter returns
        sigaction(kStopSignals[i], &sa, &before[i]);
#endif
    }
}

InterruptCatcher::~InterruptCatcher() {
    if (!active_) return;
    for (int i = 0; i < 3; ++i) {
#ifdef _WIN32
        std::signal(kStopSignals[i], before[i]);
#else
        sigaction(kStopSignals[i], &before[i], nullptr);
#endif
    }
}

void InterruptCatcher::Catch(int sig) {
#ifdef _WIN32
    // The C runtime of Windows puts the default back before it calls a
    // handler, so the handler puts itself in again: every signal is caught.
    std::signal(sig, Catch);
#endif
    const bool first = caught_ == 0;
    if (first) caught_ = sig;
    Say("\notpwriter-cli: ");
    Say(Name(sig));
    if (mustFinish_) {
        Say(": the firmware update must finish first, and the writer must stay switched on; the run stops after it\n");
        return;
    }
    Say(": the run stops after ");
    Say(stopsAfter_);
    Say(first ? "\n" : " (already asked)\n");
}

}  // namespace otp
