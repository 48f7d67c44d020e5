#pragma once
// Ends the window only between operations. SIGINT, SIGTERM and SIGHUP (on
// POSIX systems) and the end of the Windows session (log off, shut down) let
// the operation under way finish and write its record, then close the window;
// ended at once, a chip was left programmed with no row in the log. Each
// signal is answered on stderr. The signals are caught for as long as this
// lives, and taken on the window's own thread through a pipe.
#include <QObject>
#include <QtGui/qtguiglobal.h>

#include <functional>
#include <ostream>

class QSessionManager;
class QSocketNotifier;
class QWidget;

namespace otp {

class EndRequests : public QObject {
    Q_OBJECT
public:
    explicit EndRequests(std::ostream& err);
    ~EndRequests() override;
    EndRequests(const EndRequests&) = delete;
    EndRequests& operator=(const EndRequests&) = delete;

    // The window to end: whether it is at work, and how it closes once it
    // is not. An end asked for before it was given is passed on now.
    void Attach(std::function<bool()> busy, std::function<void()> closeWhenIdle, QWidget* window);
    // An end asked for by `what` ("SIGTERM", "the end of the session").
    void Ask(const char* what);

private:
    void TakeSignals();
#if QT_CONFIG(sessionmanager)
    void SessionEnds(QSessionManager& manager);
#endif

    std::ostream& err_;
    std::function<bool()> busy_;
    std::function<void()> closeWhenIdle_;
    QWidget* window_ = nullptr;
    bool asked_ = false;
    QSocketNotifier* notifier_ = nullptr;
};

}  // namespace otp
