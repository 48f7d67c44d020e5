#include "record/SpoolFiles.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#ifdef _WIN32
#include <windows.h>
#include <io.h>

#include "config/WindowsText.h"
#else
#include <sys/file.h>
#include <unistd.h>
#endif

#include <cstring>

#include "config/PathLookup.h"

namespace otp {
namespace {

std::string Reason(int err) { return std::strerror(err); }

#ifdef _WIN32
int OpenFile(const std::string& path, int flags) {
    return OpenUtf8(path, flags | _O_BINARY | _O_NOINHERIT, _S_IREAD | _S_IWRITE);
}
int ReadSome(int fd, char* into, size_t count) { return _read(fd, into, static_cast<unsigned>(count)); }
int WriteSome(int fd, const char* bytes, size_t count) {
    return _write(fd, bytes, static_cast<unsigned>(count < (1u << 30) ? count : (1u << 30)));
}
int SyncFile(int fd) { return _commit(fd); }
void CloseFile(int fd) { _close(fd); }
int CutTo(int fd, long long size) { return _chsize_s(fd, size) == 0 ? 0 : -1; }
long long SizeOf(int fd) { return _lseeki64(fd, 0, SEEK_END); }
bool IsRegular(int) { return true; }
int Unlink(const std::string& path) { return _wunlink(WideFromUtf8(path).c_str()); }
// MOVEFILE_WRITE_THROUGH puts the rename on disk; a folder is not synced on Windows.
bool SyncFolderOf(const std::string&) { return true; }
bool MoveOver(const std::string& from, const std::string& to, std::string& why) {
    if (MoveFileExW(WideFromUtf8(from).c_str(), WideFromUtf8(to).c_str(),
                    MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return true;
    why = SystemReason(GetLastError());
    return false;
}
constexpr int kReadOnly = _O_RDONLY;
constexpr int kAppendOnly = _O_WRONLY | _O_APPEND;
constexpr int kCreateNew = _O_WRONLY | _O_CREAT | _O_EXCL;
constexpr int kWriteOnly = _O_WRONLY;
constexpr int kAppendNew = kAppendOnly | _O_CREAT | _O_EXCL;
#else
int OpenFile(const std::string& path, int flags) { return ::open(path.c_str(), flags | O_CLOEXEC, 0600); }
ssize_t ReadSome(int fd, char* into, size_t count) { return ::read(fd, into, count); }
ssize_t WriteSome(int fd, const char* bytes, size_t count) { return ::write(fd, bytes, count); }
int SyncFile(int fd) { return ::fsync(fd); }
void CloseFile(int fd) { ::close(fd); }
int CutTo(int fd, long long size) { return ::ftruncate(fd, static_cast<off_t>(size)); }
long long SizeOf(int fd) {
    struct stat st {};
    return fstat(fd, &st) == 0 ? static_cast<long long>(st.st_size) : -1;
}
// A FIFO or a device in the spool's place is refused, not waited on.
bool IsRegular(int fd) {
    struct stat st {};
    return fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
}
int Unlink(const std::string& path) { return ::unlink(path.c_str()); }
// A new, renamed or removed name is on disk once its folder is synced.
bool SyncFolderOf(const std::string& path) {
    const size_t slash = LastSeparator(path);
    const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return false;
    const bool synced = ::fsync(fd) == 0;
    ::close(fd);
    return synced;
}
bool MoveOver(const std::string& from, const std::string& to, std::string& why) {
    if (::rename(from.c_str(), to.c_str()) == 0) return true;
    why = Reason(errno);
    return false;
}
constexpr int kReadOnly = O_RDONLY | O_NONBLOCK;
constexpr int kAppendOnly = O_WRONLY | O_APPEND | O_NONBLOCK;
constexpr int kCreateNew = O_WRONLY | O_CREAT | O_EXCL;
constexpr int kWriteOnly = O_WRONLY | O_NONBLOCK;
constexpr int kAppendNew = kAppendOnly | O_CREAT | O_EXCL;
#endif

// Writes all of `bytes`; false with errno set when the file took less.
bool WriteAll(int fd, const std::string& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        const auto wrote = WriteSome(fd, bytes.data() + done, bytes.size() - done);
        if (wrote < 0 && errno == EINTR) continue;
        if (wrote <= 0) {
            if (wrote == 0) errno = ENOSPC;
            return false;
        }
        done += static_cast<size_t>(wrote);
    }
    return true;
}

}  // namespace

FileLock::Result FileLock::Take(const std::string& path, std::string& why) {
    Release();
#ifdef _WIN32
    const int fd = OpenUtf8(path, _O_RDWR | _O_CREAT | _O_BINARY | _O_NOINHERIT, _S_IREAD | _S_IWRITE);
    if (fd < 0) {
        why = Reason(errno);
        return Result::Failed;
    }
    OVERLAPPED whole{};
    if (!LockFileEx(reinterpret_cast<HANDLE>(_get_osfhandle(fd)), LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY,
                    0, MAXDWORD, MAXDWORD, &whole)) {
        const DWORD code = GetLastError();
        _close(fd);
        why = SystemReason(code);
        return code == ERROR_LOCK_VIOLATION ? Result::HeldElsewhere : Result::Failed;
    }
#else
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NONBLOCK, 0600);
    if (fd < 0) {
        why = Reason(errno);
        return Result::Failed;
    }
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int err = errno;
        ::close(fd);
        why = Reason(err);
        return err == EWOULDBLOCK ? Result::HeldElsewhere : Result::Failed;
    }
#endif
    fd_ = fd;
    return Result::Taken;
}

void FileLock::Release() {
    if (fd_ < 0) return;
#ifdef _WIN32
    OVERLAPPED whole{};
    UnlockFileEx(reinterpret_cast<HANDLE>(_get_osfhandle(fd_)), 0, MAXDWORD, MAXDWORD, &whole);
    _close(fd_);
#else
    flock(fd_, LOCK_UN);
    ::close(fd_);
#endif
    fd_ = -1;
}

bool ReadWholeFile(const std::string& path, std::string& bytes, bool& exists, std::string& why) {
    bytes.clear();
    exists = false;
    const int fd = OpenFile(path, kReadOnly);
    if (fd < 0) {
        if (errno == ENOENT) return true;
        why = Reason(errno);
        return false;
    }
    exists = true;
    if (!IsRegular(fd)) {
        CloseFile(fd);
        why = "it is not a regular file";
        return false;
    }
    char chunk[65536];
    for (;;) {
        const auto got = ReadSome(fd, chunk, sizeof chunk);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) {
            why = Reason(errno);
            CloseFile(fd);
            return false;
        }
        if (got == 0) break;
        bytes.append(chunk, static_cast<size_t>(got));
    }
    CloseFile(fd);
    return true;
}

bool AppendWhole(const std::string& path, const std::string& bytes, const std::string& firstLine, std::string& why) {
    bool made = false;
    int fd = OpenFile(path, kAppendOnly);
    if (fd < 0 && errno == ENOENT) {
        fd = OpenFile(path, kAppendNew);
        made = fd >= 0;
    }
    if (fd < 0) {
        why = Reason(errno);
        return false;
    }
    if (!IsRegular(fd)) {
        CloseFile(fd);
        why = "it is not a regular file";
        return false;
    }
    const long long before = SizeOf(fd);
    if (before < 0) {
        why = Reason(errno);
        CloseFile(fd);
        return false;
    }
    const std::string text = before == 0 ? firstLine + bytes : bytes;
    if (!WriteAll(fd, text) || SyncFile(fd) != 0) {
        why = Reason(errno);
        // Nothing of it stays: no part of a line is ever left behind.
        if (CutTo(fd, before) != 0 || SyncFile(fd) != 0)
            why += "; what was written of it could not be taken off (" + Reason(errno) + ")";
        CloseFile(fd);
        return false;
    }
    CloseFile(fd);
    if (made && !SyncFolderOf(path)) {
        why = "its folder cannot be synced: " + Reason(errno);
        return false;
    }
    return true;
}

bool ReplaceWhole(const std::string& path, const std::string& bytes, std::string& why) {
    const std::string temp = path + ".new";
    Unlink(temp);  // left by a program that ended while replacing
    const int fd = OpenFile(temp, kCreateNew);
    if (fd < 0) {
        why = temp + " cannot be made: " + Reason(errno);
        return false;
    }
    const bool written = WriteAll(fd, bytes) && SyncFile(fd) == 0;
    const int err = errno;
    CloseFile(fd);
    if (!written) {
        Unlink(temp);
        why = temp + " cannot be written: " + Reason(err);
        return false;
    }
    if (!MoveOver(temp, path, why)) {
        Unlink(temp);
        return false;
    }
    if (!SyncFolderOf(path)) {
        why = "its folder cannot be synced: " + Reason(errno);
        return false;
    }
    return true;
}

bool RemoveSynced(const std::string& path, std::string& why) {
    if (Unlink(path) != 0) {
        if (errno == ENOENT) return true;
        why = Reason(errno);
        return false;
    }
    if (!SyncFolderOf(path)) {
        why = "its folder cannot be synced: " + Reason(errno);
        return false;
    }
    return true;
}

bool CutFileTo(const std::string& path, long long size, std::string& why) {
    const int fd = OpenFile(path, kWriteOnly);
    const bool cut = fd >= 0 && CutTo(fd, size) == 0 && SyncFile(fd) == 0;
    if (!cut) why = Reason(errno);
    if (fd >= 0) CloseFile(fd);
    return cut;
}

}  // namespace otp
