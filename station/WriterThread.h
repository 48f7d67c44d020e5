#pragma once
// The thread a station's writer does all its work on: jobs run one after
// another in the order posted. The signals that stop a run are kept off it,
// so that they reach the thread that waits for the operator.
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

namespace otp {

class WriterThread {
public:
    WriterThread();
    // Finishes the jobs posted, then ends the thread.
    ~WriterThread();
    WriterThread(const WriterThread&) = delete;
    WriterThread& operator=(const WriterThread&) = delete;

    void Post(std::function<void()> job);
    // Returns once every job posted so far has run.
    void Wait();

private:
    void Loop();

    std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable idle_;
    std::deque<std::function<void()>> jobs_;
    bool busy_ = false;
    bool ending_ = false;
    std::thread thread_;
};

}  // namespace otp
