#include "production/ProductionLog.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

#include <cstring>

namespace otp {
namespace {

std::string Reason() { return std::strerror(errno); }

#ifdef _WIN32
// The C runtime's calls, on the file's bytes without text translation; a
// new log may be read and written by everyone the folder lets in.
int OpenToAppend(const std::string& path) {
    return _open(path.c_str(), _O_WRONLY | _O_APPEND | _O_CREAT | _O_BINARY | _O_NOINHERIT, _S_IREAD | _S_IWRITE);
}
int OpenToRead(const std::string& path) { return _open(path.c_str(), _O_RDONLY | _O_BINARY | _O_NOINHERIT); }
int ReadSome(int fd, char* into, unsigned count) { return _read(fd, into, count); }
int WriteSome(int fd, const std::string& text) {
    return _write(fd, text.data(), static_cast<unsigned>(text.size()));
}
int CutTo(int fd, long long size) { return _chsize_s(fd, size) == 0 ? 0 : -1; }
int SyncToDisk(int fd) { return _commit(fd); }
void CloseFd(int fd) { _close(fd); }
#else
int OpenToAppend(const std::string& path) {
    return ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
}
int OpenToRead(const std::string& path) { return ::open(path.c_str(), O_RDONLY | O_CLOEXEC); }
ssize_t ReadSome(int fd, char* into, size_t count) { return ::read(fd, into, count); }
ssize_t WriteSome(int fd, const std::string& text) { return ::write(fd, text.data(), text.size()); }
int CutTo(int fd, off_t size) { return ftruncate(fd, size); }
int SyncToDisk(int fd) { return fsync(fd); }
void CloseFd(int fd) { ::close(fd); }
#endif

// The records an existing log holds: its lines after the header, read from
// the start of `fd`.
int CountRecords(int fd) {
    int lines = 0;
    char chunk[65536];
    for (;;) {
        const auto n = ReadSome(fd, chunk, sizeof chunk);
        if (n <= 0) break;
        for (int i = 0; i < static_cast<int>(n); ++i) lines += chunk[i] == '\n';
    }
    return lines > 0 ? lines - 1 : 0;
}

}  // namespace

std::unique_ptr<ProductionLog> ProductionLog::Open(const std::string& path, std::string& error) {
    const int fd = OpenToAppend(path);
    if (fd < 0) {
        error = "cannot open the production log " + path + ": " + Reason();
        return nullptr;
    }
    struct stat st {};
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        error = "the production log " + path + " is not a regular file";
        CloseFd(fd);
        return nullptr;
    }
    const int readFd = OpenToRead(path);
    const int records = readFd >= 0 ? CountRecords(readFd) : 0;
    if (readFd >= 0) CloseFd(readFd);
    std::unique_ptr<ProductionLog> log(new ProductionLog(fd, path, records));
    if (st.st_size == 0 && !log->WriteWhole(CsvHeader() + "\r\n", error)) return nullptr;
    return log;
}

ProductionLog::~ProductionLog() { CloseFd(fd_); }

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
    const auto n = WriteSome(fd_, text);
    if (n < 0 || static_cast<size_t>(n) != text.size()) {
        error = "cannot write the production log " + path_ + ": " + (n < 0 ? Reason() : "the disk took only part of the line");
        if (n > 0 && CutTo(fd_, st.st_size) != 0) error += " (and the part written could not be removed)";
        return false;
    }
    if (SyncToDisk(fd_) != 0) {
        error = "cannot write the production log " + path_ + " to disk: " + Reason();
        return false;
    }
    return true;
}

}  // namespace otp
