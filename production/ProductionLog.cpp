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
#include <cctype>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <vector>

#include "config/PathLookup.h"
#include "production/CsvRows.h"

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
// The write goes to the end of the file as it stands under the lock (the C
// runtime's append is a seek and then a write, not one step).
int WriteSome(int fd, const std::string& text) {
    if (_lseeki64(fd, 0, SEEK_END) < 0) return -1;
    return _write(fd, text.data(), static_cast<unsigned>(text.size()));
}
int CutTo(int fd, long long size) { return _chsize_s(fd, size) == 0 ? 0 : -1; }
int SyncToDisk(int fd) { return _commit(fd); }
void CloseFd(int fd) { _close(fd); }
// Another program appending to the same log waits for a whole line, as
// flock makes it on Linux. The lock is on one byte far past any log's end,
// so that it keeps out only the programs that take it: a spreadsheet reading
// the log is never refused.
OVERLAPPED LockPlace() {
    OVERLAPPED place{};
    place.Offset = 0xFFFFFFFEu;
    place.OffsetHigh = 0x7FFFFFFFu;
    return place;
}
int LockForWriting(int fd) {
    const HANDLE file = reinterpret_cast<HANDLE>(_get_osfhandle(fd));
    OVERLAPPED place = LockPlace();
    return file != INVALID_HANDLE_VALUE && LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK, 0, 1, 0, &place) ? 0 : -1;
}
void Unlock(int fd) {
    const HANDLE file = reinterpret_cast<HANDLE>(_get_osfhandle(fd));
    OVERLAPPED place = LockPlace();
    if (file != INVALID_HANDLE_VALUE) UnlockFileEx(file, 0, 1, 0, &place);
}
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

// What an existing log holds, read from the start of its file.
struct LogContent {
    LogHistory history;
    bool endsOpen = false;            // the last line lacks its end
    std::vector<std::string> header;  // the first row's fields
    long long damagedCount = 0;
    std::vector<DamagedLine> damaged;
};

void ReadContent(int fd, LogContent& content) {
    bool headerSeen = false;
    content.header.clear();
    const auto check = [&](const std::vector<std::string>& fields) -> std::string {
        if (!headerSeen) return {};
        if (fields.size() != content.header.size())
            return std::to_string(fields.size()) + (fields.size() == 1 ? " field where " : " fields where ") +
                   std::to_string(content.header.size()) + " are written";
        // The header is this program's (or the log is refused): its chip column is there.
        const size_t chipColumn = static_cast<size_t>(
            std::find(content.header.begin(), content.header.end(), "chip") - content.header.begin());
        int chip = 0;
        if (chipColumn < fields.size() && !ReadChipNumber(fields[chipColumn], chip))
            return "chip '" + fields[chipColumn] + "' is no number";
        return {};
    };
    const auto take = [&](CsvRow& row) {
        const bool header = !headerSeen;
        headerSeen = true;
        if (!row.damage.empty()) {
            if (++content.damagedCount <= static_cast<long long>(ProductionLog::kListedDamage))
                content.damaged.push_back(DamagedLine{row.line, row.damage});
        } else if (header) {
            content.history.Header(row.fields);
            content.header = std::move(row.fields);
        } else {
            content.history.Row(row.fields);
        }
    };
    CsvRows reader(check, take);
    std::vector<char> chunk(65536);
    for (;;) {
        const auto n = ReadSome(fd, chunk.data(), static_cast<unsigned>(chunk.size()));
        if (n <= 0) break;
        reader.Feed(chunk.data(), static_cast<size_t>(n));
    }
    content.endsOpen = reader.EndsOpen();
    reader.Finish();
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

// Whether a log's columns are those of an earlier version of this program:
// columns are only ever added at the end.
bool IsEarlierHeader(const std::vector<std::string>& held) {
    const std::vector<std::string>& today = CsvHeaderFields();
    return !held.empty() && held.size() < today.size() && std::equal(held.begin(), held.end(), today.begin());
}

// "run.csv" continued on 2026-12-09: "run-2026-12-09.csv" beside it.
struct SplitName {
    std::string stem, extension;
};
SplitName Split(const std::string& path) {
    const size_t slash = path.find_last_of("/\\");
    const size_t dot = path.rfind('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash) || dot == slash + 1)
        return {path, ""};
    return {path.substr(0, dot), path.substr(dot)};
}

std::string SuccessorPath(const std::string& path, std::time_t now) {
    std::tm local{};
#ifdef _WIN32
    localtime_s(&local, &now);
#else
    localtime_r(&now, &local);
#endif
    char date[16];
    std::strftime(date, sizeof date, "%Y-%m-%d", &local);
    const SplitName name = Split(path);
    return name.stem + "-" + date + name.extension;
}

// Whether `name` is "STEM-YYYY-MM-DD.EXT" of the log `path`'s folder.
bool IsSuccessorName(const std::string& file, const std::string& stem, const std::string& extension) {
    if (file.size() != stem.size() + 11 + extension.size() || file.compare(0, stem.size(), stem) != 0 ||
        file.compare(file.size() - extension.size(), extension.size(), extension) != 0)
        return false;
    const std::string date = file.substr(stem.size(), 11);
    for (size_t i = 0; i < date.size(); ++i) {
        const bool dash = i == 0 || i == 5 || i == 8;
        if (dash ? date[i] != '-' : !std::isdigit(static_cast<unsigned char>(date[i]))) return false;
    }
    return true;
}

// The history of the files that continued the log `path` on other days than
// `next`'s, oldest first.
void ReadEarlierSuccessors(const std::string& path, const std::string& next, LogContent& content) {
    const size_t slash = LastSeparator(path);
    const std::string folder = slash == std::string::npos ? "." : path.substr(0, slash);
    const SplitName name = Split(slash == std::string::npos ? path : path.substr(slash + 1));
    std::vector<std::string> found;
    std::error_code failed;
    for (std::filesystem::directory_iterator it(FsPath(folder), failed), end; !failed && it != end; it.increment(failed)) {
        const std::string file = PathName(it->path().filename());
        const std::string whole = folder + "/" + file;
        if (IsSuccessorName(file, name.stem, name.extension) && Split(whole).stem != Split(next).stem)
            found.push_back(whole);
    }
    std::sort(found.begin(), found.end());
    for (const std::string& file : found)
        if (const int fd = OpenToRead(file); fd >= 0) {
            ReadContent(fd, content);
            CloseFd(fd);
        }
}

}  // namespace

std::unique_ptr<ProductionLog> ProductionLog::Open(const std::string& named, std::string& error) {
    LogContent content;
    std::string path = named;
    std::string notice;
    int fd = -1;
    struct stat st {};
    for (bool first = true;; first = false) {
        std::string why;
        fd = OpenToAppend(path, why);
        if (fd < 0) {
            error = "cannot open the production log " + path + ": " + why;
            return nullptr;
        }
        if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
            error = "the production log " + path + " is not a regular file";
            CloseFd(fd);
            return nullptr;
        }
        // Only the damage of the file written is told; an older one's is read around.
        content.damagedCount = 0;
        content.damaged.clear();
        if (const int readFd = OpenToRead(path); readFd >= 0) {
            ReadContent(readFd, content);
            CloseFd(readFd);
        }
        if (st.st_size == 0) break;
        // Rows of another width under its header would leave a file no
        // spreadsheet reads right.
        const std::string difference = HeaderDifference(content.header, CsvHeaderFields());
        if (difference.empty()) break;
        CloseFd(fd);
        if (first && IsEarlierHeader(content.header)) {
            // A log of an earlier version stops no line: its records go on in
            // a file of today beside it, and the history of both is read.
            const std::string next = SuccessorPath(named, std::time(nullptr));
            ReadEarlierSuccessors(named, next, content);
            notice = "the production log " + named + " was begun by an earlier version of this program (" +
                     difference + "): the records go on in " + next +
                     " beside it; the chip numbers and rolling codes of both are read";
            path = next;
            continue;
        }
        error = "the production log " + path + " was begun for other columns (" + difference +
                "): name a new file for the log, and keep this one as it is";
        return nullptr;
    }
    std::unique_ptr<ProductionLog> log(new ProductionLog(fd, path));
    log->history_ = std::move(content.history);
    log->endsOpen_ = content.endsOpen;
    log->damagedCount_ = content.damagedCount;
    log->damaged_ = std::move(content.damaged);
    log->successorNotice_ = notice;
    if (st.st_size == 0 && !log->WriteWhole(CsvHeader() + "\r\n", error)) return nullptr;
    return log;
}

ProductionLog::~ProductionLog() { CloseFd(fd_); }

std::string ProductionLog::Notice() const {
    const std::string damage = DamageNotice();
    if (successorNotice_.empty() || damage.empty()) return successorNotice_ + damage;
    return successorNotice_ + "; " + damage;
}

std::string ProductionLog::DamageNotice() const {
    if (damagedCount_ == 0) return {};
    const bool one = damagedCount_ == 1;
    std::string lines;
    for (const DamagedLine& d : damaged_) lines += (lines.empty() ? "" : "; ") + std::to_string(d.line) + ": " + d.why;
    if (damagedCount_ > static_cast<long long>(damaged_.size()))
        lines += "; and " + std::to_string(damagedCount_ - static_cast<long long>(damaged_.size())) + " more";
    return "the production log " + path_ + " has " + std::to_string(damagedCount_) +
           (one ? " damaged line (" : " damaged lines (") + lines + "); the records around " +
           (one ? "it" : "them") + " are read";
}

bool ProductionLog::Append(ChipRecord& record, std::string& error) {
    if (record.chip <= 0) record.chip = history_.Count(record.writer) + 1;
    if (IsRollingCode(record.rollingCode))
        history_.Given(record.rollingCode, EarlierChip{record.writer, record.chip, IsoLocalTime(record.when), {}});
    if (!StillInPlace(error)) return false;
    // A last line left without its end gets one, so the record is a line of its own.
    if (!WriteWhole((endsOpen_ ? "\r\n" : "") + CsvLine(record) + "\r\n", error)) return false;
    endsOpen_ = false;
    history_.Numbered(record.writer, record.chip);
    history_.OfJob(record.jobId, record.run, record.writer, record.chip, record.verdict);
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
