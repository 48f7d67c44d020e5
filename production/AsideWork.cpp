#include "production/AsideWork.h"

#include <chrono>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <thread>

namespace otp {
namespace {

// The work's end as a pacer's sleep understands it: a "byte" arrives when
// the work is done, so a sleep on it ends then.
class WorkDone : public PortWake {
public:
    void Finish() {
        {
            const std::lock_guard<std::mutex> lock(mutex_);
            done_ = true;
        }
        changed_.notify_all();
    }
    bool AwaitByte(int timeoutMs) override {
        std::unique_lock<std::mutex> lock(mutex_);
        return changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [this] { return done_; });
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    bool done_ = false;
};

// How long each sleep lasts before the work is looked at again: a window's
// pacer paints in between anyway.
constexpr int64_t kLookMs = 200;

}  // namespace

void RunAside(Pacer& pacer, const std::function<void()>& work) {
    WorkDone done;
    std::exception_ptr thrown;
    std::thread worker([&] {
        try {
            work();
        } catch (...) {
            thrown = std::current_exception();
        }
        done.Finish();
    });
    while (!pacer.SleepUntilArrival(pacer.NowMs() + kLookMs, &done)) {
    }
    worker.join();
    if (thrown) std::rethrow_exception(thrown);
}

}  // namespace otp
