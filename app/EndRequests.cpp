#include "app/EndRequests.h"

#include <QGuiApplication>
#include <QSessionManager>
#include <QSocketNotifier>

#include <csignal>

#include <QWidget>

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

namespace otp {
namespace {

#ifndef _WIN32
const int kEndSignals[] = {SIGINT, SIGTERM, SIGHUP};
struct sigaction before[3];
// The pipe from the handler to the window's thread; one writer of it at a time.
int wakeFds[2] = {-1, -1};

void Caught(int sig) {
    const unsigned char byte = static_cast<unsigned char>(sig);
    (void)!write(wakeFds[1], &byte, 1);
}

const char* SignalText(int sig) {
    switch (sig) {
        case SIGINT: return "SIGINT";
        case SIGTERM: return "SIGTERM";
        case SIGHUP: return "SIGHUP";
    }
    return "a signal";
}
#endif

}  // namespace

EndRequests::EndRequests(std::ostream& err) : err_(err) {
#ifndef _WIN32
    if (wakeFds[0] < 0 && pipe(wakeFds) == 0) {
        for (const int fd : wakeFds) {
            fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
            fcntl(fd, F_SETFD, FD_CLOEXEC);
        }
    }
    if (wakeFds[0] >= 0) {
        notifier_ = new QSocketNotifier(wakeFds[0], QSocketNotifier::Read, this);
        connect(notifier_, &QSocketNotifier::activated, this, [this] { TakeSignals(); });
        for (int i = 0; i < 3; ++i) {
            struct sigaction sa {};
            sa.sa_handler = Caught;
            sigemptyset(&sa.sa_mask);
            sa.sa_flags = SA_RESTART;
            sigaction(kEndSignals[i], &sa, &before[i]);
        }
    }
#endif
#if QT_CONFIG(sessionmanager)
    if (auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        connect(app, &QGuiApplication::commitDataRequest, this, [this](QSessionManager& m) { SessionEnds(m); });
#endif
}

EndRequests::~EndRequests() {
#ifndef _WIN32
    if (notifier_ != nullptr)
        for (int i = 0; i < 3; ++i) sigaction(kEndSignals[i], &before[i], nullptr);
#endif
}

void EndRequests::TakeSignals() {
#ifndef _WIN32
    unsigned char byte = 0;
    while (read(wakeFds[0], &byte, 1) == 1) Ask(SignalText(byte));
#endif
}

void EndRequests::Attach(std::function<bool()> busy, std::function<void()> closeWhenIdle, QWidget* window) {
    busy_ = std::move(busy);
    closeWhenIdle_ = std::move(closeWhenIdle);
    window_ = window;
    if (asked_) closeWhenIdle_();
}

void EndRequests::Ask(const char* what) {
    const bool again = asked_;
    asked_ = true;
    const bool busy = !busy_ || busy_();
    err_ << "otpwriter: " << what << ": the window closes "
         << (busy ? "once the operation under way has ended and is recorded" : "now") << (again ? " (already asked)" : "")
         << std::endl;
    if (closeWhenIdle_) closeWhenIdle_();
}

#if QT_CONFIG(sessionmanager)
void EndRequests::SessionEnds(QSessionManager& manager) {
    if (!busy_ || !busy_()) return;
    // The session waits for the chip under way: Windows shows why, and the
    // window closes, freeing it, once the chip's record is written.
#ifdef _WIN32
    ShutdownBlockReasonCreate(reinterpret_cast<HWND>(window_->winId()),
                              L"A chip is being worked on; the window closes once its record is written.");
#endif
    manager.cancel();
    Ask("the end of the session");
}
#endif

}  // namespace otp
