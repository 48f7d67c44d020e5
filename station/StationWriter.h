#pragma once
// One writer of a station: its own session (state, link, context with its
// pacer and findings), the view its operations talk to, its recorder into
// the station's ledger, and its own thread, on which all of it is used. Only
// whether it is stopped, and why, is asked from other threads.
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "link/Pacer.h"
#include "link/SerialPort.h"
#include "link/WriterLine.h"
#include "operations/Session.h"
#include "operations/Startup.h"
#include "production/ChipLedger.h"
#include "production/ChipRecorder.h"
#include "production/OperationWatch.h"
#include "station/WriterThread.h"
#include "view/FormModel.h"

namespace otp {

struct WriterParts {
    std::string port;  // "COM3"
    std::unique_ptr<PortOpener> opener;
    std::unique_ptr<Pacer> pacer;
    // The window's state its operations work on (answers, picks, enabled
    // controls), and what the front shows of them.
    std::unique_ptr<FormModel> form;
    // The view the operations talk to when it is not the form itself (a
    // trace that passes on to it); may be empty.
    std::unique_ptr<MainView> shown;
    // Puts a fresh blank chip into the socket (an emulated writer's); empty
    // when the operator does it.
    std::function<void()> freshChip;
};

class StationWriter {
public:
    StationWriter(WriterParts parts, ChipLedger& ledger, const std::string& workingDir);
    ~StationWriter();
    StationWriter(const StationWriter&) = delete;
    StationWriter& operator=(const StationWriter&) = delete;

    const std::string& Port() const { return parts_.port; }

    // On the writer's thread only.
    Session& session() { return session_; }
    Context& ctx() { return session_.ctx(); }
    FormModel& form() { return *parts_.form; }
    OperationWatch& watch() { return watch_; }
    ChipRecorder& recorder() { return recorder_; }
    PortOpener& opener() { return *parts_.opener; }
    void FreshChip() {
        if (parts_.freshChip) parts_.freshChip();
    }
    // The start-up's result, set by the station's start-up.
    StartupResult startup = StartupResult::NoWriter;

    // From any thread: a stopped writer runs nothing more; the first reason
    // stays.
    void Stop(const std::string& reason);
    bool Stopped() const;
    std::string StopReason() const;
    // From any thread: a socket the operator set aside (a worn contact)
    // starts no chip until it is taken back; unlike a stop, nothing is wrong
    // with the writer.
    void SetAside(bool aside);
    bool Aside() const;

    // Runs `job` on the writer's thread, after the jobs posted before it.
    void Post(std::function<void()> job) { thread_->Post(std::move(job)); }
    void Wait() { thread_->Wait(); }

private:
    WriterParts parts_;
    OperationWatch watch_;
    Session session_;
    ChipRecorder recorder_;
    mutable std::mutex stopMutex_;
    std::string stopReason_;
    bool stopped_ = false;
    bool aside_ = false;
    // Last, so that it ends first: no job outlives what it works on.
    std::unique_ptr<WriterThread> thread_;
};

}  // namespace otp
