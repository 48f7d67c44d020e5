#include "production/ProductionLog.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#ifdef _WIN32
#include <windows.h>
#include <io.h>

#include "config/WindowsFileHolder.h"
#include "config/WindowsText.h"
#else
#include <sys/file.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <cstring>
#include <vector>

namespace otp {
namespace {

std::string Reason() { return std::strerror(errno); }

#ifdef _WIN32
// The C runtime's calls, on the file's bytes without text translation; a
// new log may be read and written by everyone the folder lets in. A log
// another program holds open (a spreadsheet showing it) is tried again for a
// moment, then `why` names who holds it.
int OpenToAppend(const std::string& path, std::string& why) {
    // Windows opens no folder as a file, and says only that access is denied.
    const DWORD attributes = GetFileAttributesW(WideFromUtf8(path).c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        why = "is a folder";
        return -1;
    }
    int fd = -1;
    const unsigned long code = RetryWhileHeld([&]() -> unsigned long {
        fd = OpenUtf8(path, _O_WRONLY | _O_APPEND | _O_CREAT | _O_BINARY | _O_NOINHERIT, _S_IREAD | _S_IWRITE);
        return fd >= 0 ? 0 : _doserrno;
    });
    if (fd < 0) why = MayBeHeld(code) ? HeldFileReason(code, path) : Reason();
    return fd;
}
int OpenToRead(const std::string& path) { return OpenUtf8(path, _O_RDONLY | _O_BINARY | _O_NOINHERIT); }
int ReadSome(int fd, char* into, unsigned count) { return _read(fd, into, count); }
int WriteSome(int fd, const std::string& text) {
    return _write(fd, text.data(), static_cast<unsigned>(text.size()));
}
int CutTo(int fd, long long size) { return _chsize_s(fd, size) == 0 ? 0 : -1; }
int SyncToDisk(int fd) { return _commit(fd); }
void CloseFd(int fd) { _close(fd); }
int LockForWriting(int) { return 0; }
void Unlock(int) {}
#else
// Never waits on a FIFO or a device: what is not a regular file is refused
// once it is open, and the descriptor then blocks as usual.
int OpenToAppend(const std::string& path, std::string& why) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NONBLOCK, 0644);
    if (fd >= 0) fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    else why = Reason();
    return fd;
}
int OpenToRead(const std::string& path) { return ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK); }
// Another program appending to the same log waits for a whole line.
int LockForWriting(int fd) { return flock(fd, LOCK_EX); }
void Unlock(int fd) { flock(fd, LOCK_UN); }
ssize_t ReadSome(int fd, char* into, size_t count) { return ::read(fd, into, count); }
ssize_t WriteSome(int fd, const std::string& text) { return ::write(fd, text.data(), text.size()); }
int CutTo(int fd, off_t size) { return ftruncate(fd, size); }
int SyncToDisk(int fd) { return fsync(fd); }
void CloseFd(int fd) { ::close(fd); }
#endif

// The records an existing log holds, read from the start of `fd`;
// `endsOpen` tells whether the last line lacks its end; `header` gets the
// first row's fields.
LogHistory ReadHistory(int fd, bool& endsOpen, std::vector<std::string>& header) {
    LogHistory history;
    CsvReader reader;
    std::vector<std::vector<std::string>> rows;
    bool headerSeen = false;
    const auto take = [&] {
        for (const std::vector<std::string>& row : rows) {
            if (!headerSeen) {
                history.Header(row);
                header = row;
            } else {
                history.Row(row);
            }
            headerSeen = true;
        }
        rows.clear();
    };
    char chunk[65536];
    for (;;) {
        const auto n = ReadSome(fd, chunk, sizeof chunk);
        if (n <= 0) break;
        reader.Feed(chunk, static_cast<size_t>(n), rows);
        take();
    }
    endsOpen = reader.EndsOpen();
    reader.Finish(rows);
    take();
    return history;
}

std::string Joined(const std::vector<std::string>& names) {
    std::string text;
    for (const std::string& n : names) text += (text.empty() ? "" : ", ") + (n.empty() ? std::string("(empty)") : n);
    return text;
}

// What sets a log's columns apart from the ones this program writes; empty
// when they are the same.
std::string HeaderDifference(const std::vector<std::string>& held, const std::vector<std::string>& written) {
    if (held == written) return {};
    const auto without = [](const std::vector<std::string>& a, const std::vector<std::string>& b) {
        std::vector<std::string> rest;
        for (const std::string& x : a)
            if (std::find(b.begin(), b.end(), x) == b.end()) rest.push_back(x);
        return rest;
    };
    const std::vector<std::string> lacks = without(written, held);
    const std::vector<std::string> more = without(held, written);
    const auto columns = [](size_t n) { return std::to_string(n) + (n == 1 ? " column" : " columns"); };
    std::string text = "it has " + columns(held.size()) + ", this program writes " + std::to_string(written.size());
    if (!lacks.empty()) text += "; it lacks " + Joined(lacks);
    if (!more.empty()) text += "; it has " + Joined(more) + ", which this program does not write";
    if (lacks.empty() && more.empty()) text += "; its columns stand in another order";
    return text;
}

}  // namespace

std::unique_ptr<ProductionLog> ProductionLog::Open(const std::string& path, std::string& error) {
    std::string why;
    const int fd = OpenToAppend(path, why);
    if (fd < 0) {
        error = "cannot open the production log " + path + ": " + why;
        return nullptr;
    }
    struct stat st {};
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        error = "the production log " + path + " is not a regular file";
        CloseFd(fd);
        return nullptr;
    }
    const int readFd = OpenToRead(path);
    bool endsOpen = false;
    std::vector<std::string> header;
    LogHistory history = readFd >= 0 ? ReadHistory(readFd, endsOpen, header) : LogHistory{};
    if (readFd >= 0) CloseFd(readFd);
    // Rows of another width under its header would leave a file no
    // spreadsheet reads right.
    if (st.st_size > 0) {
        const std::string difference = HeaderDifference(header, CsvHeaderFields());
        if (!difference.empty()) {
            error = "the production log " + path + " was begun for other columns (" + difference +
                    "): name a new file for the log, and keep this one as it is";
            CloseFd(fd);
            return nullptr;
        }
    }
    std::unique_ptr<ProductionLog> log(new ProductionLog(fd, path, std::move(history), endsOpen));
    if (st.st_size == 0 && !log->WriteWhole(CsvHeader() + "\r\n", error)) return nullptr;
    return log;
}

ProductionLog::~ProductionLog() { CloseFd(fd_); }

bool ProductionLog::Append(ChipRecord& record, std::string& error) {
    record.chip = history_.Count(record.writer) + 1;
    if (IsRollingCode(record.rollingCode))
        history_.Given(record.rollingCode, EarlierChip{record.writer, record.chip, IsoLocalTime(record.when), {}});
    if (!StillInPlace(error)) return false;
    // A last line left without its end gets one, so the record is a line of its own.
    if (!WriteWhole((endsOpen_ ? "\r\n" : "") + CsvLine(record) + "\r\n", error)) return false;
    endsOpen_ = false;
    history_.Next(record.writer);
    return true;
}

bool ProductionLog::StillInPlace(std::string& error) const {
#ifndef _WIN32
    struct stat held {}, named {};
    const bool gone = fstat(fd_, &held) != 0 || held.st_nlink == 0;
    const bool other = !gone && (stat(path_.c_str(), &named) != 0 || named.st_dev != held.st_dev ||
                                 named.st_ino != held.st_ino);
    if (gone || other) {
        error = "the production log " + path_ + " was removed, renamed or replaced while the program ran";
        return false;
    }
#else
    (void)error;
#endif
    return true;
}

bool ProductionLog::WriteWhole(const std::string& text, std::string& error) {
    // One write, under the lock (another program may append to the same
    // log); whatever part of it landed is cut off again, so the file ends
    // with a whole line.
    LockForWriting(fd_);
    struct stat st {};
    if (fstat(fd_, &st) != 0) {
        error = "cannot write the production log " + path_ + ": " + Reason();
        Unlock(fd_);
        return false;
    }
    const auto n = WriteSome(fd_, text);
    const bool whole = n >= 0 && static_cast<size_t>(n) == text.size();
    if (!whole) {
        error = "cannot write the production log " + path_ + ": " + (n < 0 ? Reason() : "the disk took only part of the line");
        if (n > 0 && CutTo(fd_, st.st_size) != 0) error += " (and the part written could not be removed)";
    }
    Unlock(fd_);
    if (!whole) return false;
    if (SyncToDisk(fd_) != 0) {
        error = "cannot write the production log " + path_ + " to disk: " + Reason();
        return false;
    }
    return true;
}

}  // namespace otp
