#include "app/WindowPacer.h"

#include <QCoreApplication>

#include <algorithm>
#include <thread>

#include "app/InputGuard.h"

namespace otp {

WindowPacer::WindowPacer(InputGuard& guard) : guard_(guard), start_(std::chrono::steady_clock::now()) {}

void WindowPacer::Sleep(int ms) {
    using Clock = std::chrono::steady_clock;
    InputGuard::Hold hold(guard_);
    const Clock::time_point end = Clock::now() + std::chrono::milliseconds(std::max(ms, 0));
    for (;;) {
        QCoreApplication::processEvents(QEventLoop::AllEvents);
        const Clock::time_point now = Clock::now();
        if (now >= end) return;
        std::this_thread::sleep_for(std::min<Clock::duration>(end - now, std::chrono::milliseconds(kSliceMs)));
    }
}

int64_t WindowPacer::NowMs() const {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start_).count();
}

}  // namespace otp
