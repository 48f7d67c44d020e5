#include "record/RecordSpool.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#ifdef _WIN32
#include <io.h>

#include "config/WindowsText.h"
#else
#include <unistd.h>
#endif

#include <cstdio>
#include <cstring>
#include <iterator>

#include "production/LogHistory.h"

namespace otp {
namespace {

constexpr const char* kHeader =
    "record_key,time_epoch,operation,body,rom_file,checksum,rolling_code,verdict,failure,duration_ms,chip,run,"
    "waits,writer,station,lot,operator";
constexpr size_t kFields = 17;

#ifdef _WIN32
int OpenFile(const std::string& path, int flags) { return OpenUtf8(path, flags | _O_BINARY | _O_NOINHERIT, _S_IREAD | _S_IWRITE); }
int ReadSome(int fd, char* into, unsigned count) { return _read(fd, into, count); }
int WriteSome(int fd, const char* text, size_t size) { return _write(fd, text, static_cast<unsigned>(size)); }
int SyncFile(int fd) { return _commit(fd); }
void CloseFile(int fd) { _close(fd); }
int RemoveFile(const std::string& path) { return _wunlink(WideFromUtf8(path).c_str()); }
bool CutFile(const std::string& path, long long size) {
    const int fd = OpenUtf8(path, _O_WRONLY | _O_BINARY | _O_NOINHERIT);
    const bool cut = fd >= 0 && _chsize_s(fd, size) == 0 && _commit(fd) == 0;
    if (fd >= 0) _close(fd);
    return cut;
}
constexpr int kAppend = _O_WRONLY | _O_APPEND | _O_CREAT;
constexpr int kRead = _O_RDONLY;
#else
int OpenFile(const std::string& path, int flags) { return ::open(path.c_str(), flags | O_CLOEXEC, 0644); }
int ReadSome(int fd, char* into, unsigned count) { return static_cast<int>(::read(fd, into, count)); }
int WriteSome(int fd, const char* text, size_t size) { return static_cast<int>(::write(fd, text, size)); }
int SyncFile(int fd) { return ::fsync(fd); }
void CloseFile(int fd) { ::close(fd); }
int RemoveFile(const std::string& path) { return ::unlink(path.c_str()); }
bool CutFile(const std::string& path, long long size) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
    const bool cut = fd >= 0 && ::ftruncate(fd, size) == 0 && ::fsync(fd) == 0;
    if (fd >= 0) ::close(fd);
    return cut;
}
constexpr int kAppend = O_WRONLY | O_APPEND | O_CREAT;
constexpr int kRead = O_RDONLY;
#endif

std::string Line(const SpooledRecord& s) {
    const ChipRecord& r = s.record;
    const std::string fields[] = {s.key,
                                  std::to_string(static_cast<long long>(r.when)),
                                  r.operation,
                                  r.body,
                                  r.romFile,
                                  r.checksum,
                                  r.rollingCode,
                                  VerdictWord(r.verdict),
                                  r.failure,
                                  std::to_string(r.durationMs),
                                  std::to_string(r.chip),
                                  r.run,
                                  r.fastWaits ? "fast" : "fixed",
                                  r.writer,
                                  r.station,
                                  r.lot,
                                  r.operatorName};
    static_assert(std::size(fields) == kFields, "one field a column");
    std::string line;
    for (size_t i = 0; i < kFields; ++i) line += (i ? "," : "") + CsvField(fields[i]);
    return line + "\n";
}

// Whether `text` is a whole number; a spool's numbers are.
bool Number(const std::string& text) {
    return !text.empty() && text.size() < 19 && text.find_first_not_of("-0123456789") == std::string::npos;
}

bool FromFields(const std::vector<std::string>& f, SpooledRecord& s) {
    if (f.size() != kFields || f[0].size() != 32 || !Number(f[1]) || !Number(f[9]) || !Number(f[10])) return false;
    ChipRecord& r = s.record;
    s.key = f[0];
    r.when = static_cast<std::time_t>(std::stoll(f[1]));
    r.operation = f[2];
    r.body = f[3];
    r.romFile = f[4];
    r.checksum = f[5];
    r.rollingCode = f[6];
    if (!VerdictFromWord(f[7], r.verdict)) return false;
    r.failure = f[8];
    r.durationMs = std::stoll(f[9]);
    r.chip = std::stoi(f[10]);
    r.run = f[11];
    r.fastWaits = f[12] == "fast";
    r.writer = f[13];
    r.station = f[14];
    r.lot = f[15];
    r.operatorName = f[16];
    return true;
}

}  // namespace

bool RecordSpool::Load(std::string& error) {
    records_.clear();
    torn_ = 0;
    const int fd = OpenFile(path_, kRead);
    if (fd < 0) {
        if (errno == ENOENT) return true;
        error = "the record spool " + path_ + " cannot be read: " + std::strerror(errno);
        return false;
    }
    std::string text;
    char buffer[16384];
    int got = 0;
    while ((got = ReadSome(fd, buffer, sizeof buffer)) > 0) text.append(buffer, static_cast<size_t>(got));
    const int readErrno = errno;
    if (got < 0) {
        CloseFile(fd);
        error = "the record spool " + path_ + " cannot be read: " + std::strerror(readErrno);
        return false;
    }
    // Where the last whole row ends: a row after it was being written when
    // the program ended, and its chip was never counted as recorded.
    CsvReader reader;
    std::vector<std::vector<std::string>> rows;
    size_t wholeEnd = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        const size_t before = rows.size();
        reader.Feed(text.data() + i, 1, rows);
        if (rows.size() != before || !reader.EndsOpen()) wholeEnd = i + 1;
    }
    CloseFile(fd);
    if (reader.EndsOpen()) {
        torn_ = 1;
        if (!CutFile(path_, static_cast<long long>(wholeEnd))) {
            error = "the record spool " + path_ + " ends in a line cut short that cannot be taken off: " +
                    std::strerror(errno);
            return false;
        }
    }
    std::string header;
    for (size_t r = 0; r < rows.size(); ++r) {
        if (r == 0) {
            for (size_t i = 0; i < rows[0].size(); ++i) header += (i ? "," : "") + rows[0][i];
            if (header != kHeader) break;
            continue;
        }
        SpooledRecord s;
        if (!FromFields(rows[r], s)) {
            error = "the record spool " + path_ + " has a damaged line (record " + std::to_string(r) +
                    "): mend or move it; its records have not reached the record server";
            return false;
        }
        records_.push_back(std::move(s));
    }
    if (!rows.empty() && header != kHeader) {
        error = "the file " + path_ + " is no record spool of this program: move it away";
        records_.clear();
        return false;
    }
    return true;
}

bool RecordSpool::Add(const SpooledRecord& record, std::string& error) {
    const int fd = OpenFile(path_, kAppend);
    if (fd < 0) {
        error = "the record spool " + path_ + " cannot be written: " + std::strerror(errno);
        return false;
    }
    std::string text = Line(record);
    if (records_.empty()) {
        // A fresh file, or one an earlier run emptied by sending it.
        struct stat st {};
        if (fstat(fd, &st) == 0 && st.st_size == 0) text = std::string(kHeader) + "\n" + text;
    }
    size_t done = 0;
    while (done < text.size()) {
        const int wrote = WriteSome(fd, text.data() + done, text.size() - done);
        if (wrote <= 0) break;
        done += static_cast<size_t>(wrote);
    }
    const bool whole = done == text.size() && SyncFile(fd) == 0;
    const int why = errno;
    CloseFile(fd);
    if (!whole) {
        error = "the record spool " + path_ + " cannot be written: " + std::strerror(why);
        return false;
    }
    records_.push_back(record);
    return true;
}

bool RecordSpool::Clear(std::string& error) {
    if (RemoveFile(path_) != 0 && errno != ENOENT) {
        error = "the record spool " + path_ + " was sent but cannot be removed: " + std::strerror(errno) +
                "; it would be sent again (and kept once)";
        return false;
    }
    records_.clear();
    return true;
}

}  // namespace otp
