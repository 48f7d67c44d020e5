#include "cli/InterruptCatcher.h"

#include <signal.h>
#ifdef _WIN32
#include <windows.h>
#include <io.h>
#else
#include <unistd.h>
#endif

namespace otp {
namespace {

#ifndef _WIN32
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
#ifdef _WIN32
        case SIGINT: return "Ctrl-C";
        case SIGBREAK: return "Ctrl-Break";
        case SIGTERM: return "the console's closing";
#else
        case SIGINT: return "SIGINT";
        case SIGTERM: return "SIGTERM";
        case SIGHUP: return "SIGHUP";
#endif
    }
    return "a signal";
}

#ifdef _WIN32
// Windows calls it on a thread of its own. A closing console (or a logoff or
// shutdown) ends the program once this returns, or after its own time-out:
// the handler waits, so that the step under way has that time to finish.
BOOL WINAPI ConsoleHandler(DWORD event) {
    if (InterruptCatcher::OnConsoleEvent(event)) return TRUE;
    Sleep(INFINITE);
    return TRUE;
}
#endif

}  // namespace

std::string SignalName(int sig) { return Name(sig); }

InterruptCatcher::InterruptCatcher(bool active, const char* stopsAfter) : active_(active) {
    caught_ = 0;
    stopsAfter_ = stopsAfter;
    if (!active_) return;
#ifdef _WIN32
    SetConsoleCtrlHandler(ConsoleHandler, TRUE);
#else
    for (int i = 0; i < 3; ++i) {
        struct sigaction sa {};
        sa.sa_handler = Catch;
        sigemptyset(&sa.sa_mask);
        for (const int sig : kStopSignals) sigaddset(&sa.sa_mask, sig);
        sa.sa_flags = 0;  // no restart: a read waiting for Enter returns
        sigaction(kStopSignals[i], &sa, &before[i]);
    }
#endif
}

InterruptCatcher::~InterruptCatcher() {
    if (!active_) return;
#ifdef _WIN32
    SetConsoleCtrlHandler(ConsoleHandler, FALSE);
#else
    for (int i = 0; i < 3; ++i) sigaction(kStopSignals[i], &before[i], nullptr);
#endif
}

#ifdef _WIN32
bool InterruptCatcher::OnConsoleEvent(unsigned long event) {
    switch (event) {
        case CTRL_C_EVENT: Catch(SIGINT); return true;
        case CTRL_BREAK_EVENT: Catch(SIGBREAK); return true;
        default: Catch(SIGTERM); return false;
    }
}
#endif

void InterruptCatcher::Catch(int sig) {
    const bool first = caught_ == 0;
    if (first) caught_ = sig;
    Say("\notpwriter-cli: ");
    Say(Name(sig));
    if (mustFinish_.load() > 0) {
        Say(": the firmware update must finish first, and the writer must stay switched on; the run stops after it\n");
        return;
    }
    Say(": the run stops after ");
    Say(stopsAfter_);
    Say(first ? "\n" : " (already asked)\n");
}

}  // namespace otp
