#include "app/EventPump.h"

#include <QCoreApplication>

namespace otp {

bool EventPump::RunIfDue() {
    if (Clock::now() < Due()) return false;
    Run();
    return true;
}

void EventPump::Run() {
    // An event handled meanwhile may ask for a run again; it is this one.
    if (running_) return;
    running_ = true;
    last_ = Clock::now();
    if (beforeEvents) beforeEvents();
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    running_ = false;
}

}  // namespace otp
