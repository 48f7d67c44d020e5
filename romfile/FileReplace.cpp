#include "romfile/FileReplace.h"

#ifdef _WIN32
#include <windows.h>
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>

#include <chrono>
#include <random>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <vector>

#include "config/PathLookup.h"
#ifdef _WIN32
#include "config/WindowsFileHolder.h"
#include "config/WindowsText.h"
#endif

namespace otp {
namespace {

std::string Reason(int err) { return std::strerror(err); }

// The folder part of a path, its last separator included; empty for a bare name.
std::string FolderOf(const std::string& path) {
    const size_t slash = LastSeparator(path);
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

#ifdef _WIN32

// The longest name of one folder entry.
constexpr size_t kNameMax = 255;

// Windows has no links a save must keep: the file named is the file replaced.
bool FollowLinks(std::string path, std::string& target, int&) {
    target = std::move(path);
    return true;
}

// Makes the temporary file as mkstemp does: the six X at the end of `temp`
// become characters that give a name nobody holds, and the file is created.
int MakeTemp(char* temp) {
    char* const x = temp + std::strlen(temp) - 6;
    static const char kChars[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    std::minstd_rand random(static_cast<unsigned>(std::random_device{}()) ^
                            static_cast<unsigned>(std::chrono::steady_clock::now().time_since_epoch().count()));
    for (int tries = 0; tries < 100; ++tries) {
        for (int i = 0; i < 6; ++i) x[i] = kChars[random() % (sizeof kChars - 1)];
        const int fd = OpenUtf8(temp, _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY | _O_NOINHERIT, _S_IREAD | _S_IWRITE);
        if (fd >= 0 || errno != EEXIST) return fd;
    }
    errno = EEXIST;
    return -1;
}

// A new file gets the access the folder gives; a replaced file's own is
// not carried over (Windows keeps it in the folder's inherited rights).
bool KeepMode(int, const std::string&) { return true; }

int WriteSome(int fd, const char* bytes, size_t count) {
    return _write(fd, bytes, static_cast<unsigned>(std::min<size_t>(count, 1u << 30)));
}
int SyncToDisk(int fd) { return _commit(fd); }
int CloseFile(int fd) { return _close(fd); }
void RemoveFile(const char* path) { _wunlink(WideFromUtf8(path).c_str()); }

// Puts the temporary file in the target's place, replacing a file that is
// there, and on disk before it returns. Empty, or why it failed.
// A target another program holds open is tried again for a moment, then
// the reason names who holds it.
std::string MoveOver(const char* temp, const std::string& path) {
    const unsigned long code = RetryWhileHeld([&]() -> unsigned long {
        return MoveFileExW(WideFromUtf8(temp).c_str(), WideFromUtf8(path).c_str(),
                           MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)
                   ? 0
                   : GetLastError();
    });
    if (code == 0) return {};
    return HeldFileReason(code, path);
}

#else

constexpr size_t kNameMax = NAME_MAX;

// The file a save to `path` must replace: through a chain of symbolic links,
// the file the last one names (which need not exist yet), so that the links
// stay links. False, with `err` set, for a loop or an unreadable link.
bool FollowLinks(std::string path, std::string& target, int& err) {
    for (int hops = 0; hops < 40; ++hops) {
        struct stat st {};
        if (lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) {
            target = path;
            return true;
        }
        std::vector<char> link(PATH_MAX + 1);
        const ssize_t n = readlink(path.c_str(), link.data(), link.size());
        if (n < 0 || static_cast<size_t>(n) >= link.size()) {
            err = n < 0 ? errno : ENAMETOOLONG;
            return false;
        }
        const std::string next(link.data(), static_cast<size_t>(n));
        // A relative link is taken from the link's own folder.
        path = !next.empty() && next[0] == '/' ? next : FolderOf(path) + next;
    }
    err = ELOOP;
    return false;
}

int MakeTemp(char* temp) { return mkstemp(temp); }

mode_t NewFileMode() {
    const mode_t mask = umask(0);
    umask(mask);
    return 0666 & ~mask;
}

// A new file gets the permissions the umask gives; a replaced one keeps its own.
bool KeepMode(int fd, const std::string& path) {
    struct stat old {};
    const mode_t mode = stat(path.c_str(), &old) == 0 ? (old.st_mode & 07777) : NewFileMode();
    return fchmod(fd, mode) == 0;
}

ssize_t WriteSome(int fd, const char* bytes, size_t count) { return write(fd, bytes, count); }
int SyncToDisk(int fd) { return fsync(fd); }
int CloseFile(int fd) { return close(fd); }
void RemoveFile(const char* path) { unlink(path); }

std::string MoveOver(const char* temp, const std::string& path) {
    return rename(temp, path.c_str()) == 0 ? std::string() : Reason(errno);
}

#endif

}  // namespace

bool ReplaceFileContents(const std::string& linkOrFile, const std::string& bytes, std::string& error) {
    std::string path;
    int linkError = 0;
    if (!FollowLinks(linkOrFile, path, linkError)) {
        error = Reason(linkError);
        return false;
    }
    const std::string dir = FolderOf(path);
    const std::string name = path.substr(dir.size());
    if (name.empty()) {
        error = Reason(EISDIR);
        return false;
    }
    // "." + name + ".XXXXXX" must itself be a legal name, however long the
    // target's name is.
    const size_t keep = std::min(name.size(), kNameMax - 8);
    std::string pattern = dir + "." + name.substr(0, keep) + ".XXXXXX";
    std::vector<char> temp(pattern.begin(), pattern.end());
    temp.push_back('\0');
    const int fd = MakeTemp(temp.data());
    if (fd < 0) {
        error = Reason(errno);
        return false;
    }
    auto fail = [&](int err) {
        CloseFile(fd);
        RemoveFile(temp.data());
        error = Reason(err);
        return false;
    };

    if (!KeepMode(fd, path)) return fail(errno);

    size_t done = 0;
    while (done < bytes.size()) {
        const auto n = WriteSome(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return fail(n < 0 ? errno : EIO);
        done += static_cast<size_t>(n);
    }
    if (SyncToDisk(fd) != 0) return fail(errno);
    if (CloseFile(fd) != 0) {
        const int err = errno;
        RemoveFile(temp.data());
        error = Reason(err);
        return false;
    }
    const std::string moveError = MoveOver(temp.data(), path);
    if (!moveError.empty()) {
        RemoveFile(temp.data());
        error = moveError;
        return false;
    }
    return true;
}

}  // namespace otp
