#include "station/StationWriter.h"

namespace otp {

StationWriter::StationWriter(WriterParts parts, ChipLedger& ledger, const std::string& workingDir)
    : parts_(std::move(parts)),
      watch_(parts_.shown ? *parts_.shown : static_cast<MainView&>(*parts_.form)),
      session_(watch_, *parts_.pacer, *parts_.opener, workingDir),
      recorder_(watch_, ledger, parts_.port),
      thread_(std::make_unique<WriterThread>()) {}

StationWriter::~StationWriter() { thread_.reset(); }

void StationWriter::Stop(const std::string& reason) {
    const std::lock_guard<std::mutex> lock(stopMutex_);
    if (stopped_) return;
    stopped_ = true;
    stopReason_ = reason;
}

bool StationWriter::Stopped() const {
    const std::lock_guard<std::mutex> lock(stopMutex_);
    return stopped_;
}

std::string StationWriter::StopReason() const {
    const std::lock_guard<std::mutex> lock(stopMutex_);
    return stopReason_;
}

void StationWriter::SetAside(bool aside) {
    const std::lock_guard<std::mutex> lock(stopMutex_);
    aside_ = aside;
}

bool StationWriter::Aside() const {
    const std::lock_guard<std::mutex> lock(stopMutex_);
    return aside_;
}

}  // namespace otp
