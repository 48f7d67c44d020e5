#include "station/WriterThread.h"

#include <csignal>
#ifndef _WIN32
#include <pthread.h>
#endif

namespace otp {

WriterThread::WriterThread() {
#ifndef _WIN32
    // A new thread inherits the mask of the one that makes it.
    sigset_t stop, before;
    sigemptyset(&stop);
    for (const int sig : {SIGINT, SIGTERM, SIGHUP}) sigaddset(&stop, sig);
    pthread_sigmask(SIG_BLOCK, &stop, &before);
    thread_ = std::thread([this] { Loop(); });
    pthread_sigmask(SIG_SETMASK, &before, nullptr);
#else
    thread_ = std::thread([this] { Loop(); });
#endif
}

WriterThread::~WriterThread() {
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        ending_ = true;
    }
    wake_.notify_all();
    thread_.join();
}

void WriterThread::Post(std::function<void()> job) {
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        jobs_.push_back(std::move(job));
    }
    wake_.notify_all();
}

void WriterThread::Wait() {
    std::unique_lock<std::mutex> lock(mutex_);
    idle_.wait(lock, [this] { return jobs_.empty() && !busy_; });
}

void WriterThread::Loop() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        wake_.wait(lock, [this] { return !jobs_.empty() || ending_; });
        if (jobs_.empty()) return;
        std::function<void()> job = std::move(jobs_.front());
        jobs_.pop_front();
        busy_ = true;
        lock.unlock();
        job();
        lock.lock();
        busy_ = false;
        if (jobs_.empty()) idle_.notify_all();
    }
}

}  // namespace otp
