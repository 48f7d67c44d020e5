#include "production/ProductionLog.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>

namespace otp {
namespace {

std::string Reason() { return std::strerror(errno); }

// The records an existing log holds: its lines after the header.
int CountRecords(int fd) {
    int lines = 0;
    char chunk[65536];
    off_t at = 0;
    for (;;) {
        const ssize_t n = pread(fd, chunk, sizeof chunk, at);
        if (n <= 0) break;
        for (ssize_t i = 0; i < n; ++i) lines += chunk[i] == '\n';
        at += n;
    }
    return lines > 0 ? lines - 1 : 0;
}

}  // namespace

std::unique_ptr<ProductionLog> ProductionLog::Open(const std::string& path, std::string& error) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) {
        error = "cannot open the production log " + path + ": " + Reason();
        return nullptr;
    }
    struct stat st {};
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        error = "the production log " + path + " is not a regular file";
        ::close(fd);
        return nullptr;
    }
    const int readFd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    const int records = readFd >= 0 ? CountRecords(readFd) : 0;
    if (readFd >= 0) ::close(readFd);
    std::unique_ptr<ProductionLog> log(new ProductionLog(fd, path, records));
    if (st.st_size == 0 && !log->WriteWhole(CsvHeader() + "\r\n", error)) return nullptr;
    return log;
}

ProductionLog::~ProductionLog() { ::close(fd_); }

bool ProductionLog::Append(ChipRecord& record, std::string& error) {
    record.chip = lines_ + 1;
    if (!WriteWhole(CsvLine(record) + "\r\n", error)) return false;
    ++lines_;
    return true;
}

bool ProductionLog::WriteWhole(const std::string& text, std::string& error) {
    struct stat st {};
    if (fstat(fd_, &st) != 0) {
        error = "cannot write the production log " + path_ + ": " + Reason();
        return false;
    }
    // One write; whatever part of it landed is cut off again, so the file
    // ends with a whole line.
    const ssize_t n = ::write(fd_, text.data(), text.size());
    if (n != static_cast<ssize_t>(text.size())) {
        error = "cannot write the production log " + path_ + ": " + (n < 0 ? Reason() : "the disk took only part of the line");
        if (n > 0 && ftruncate(fd_, st.st_size) != 0) error += " (and the part written could not be removed)";
        return false;
    }
    if (fsync(fd_) != 0) {
        error = "cannot write the production log " + path_ + " to disk: " + Reason();
        return false;
    }
    return true;
}

}  // namespace otp
