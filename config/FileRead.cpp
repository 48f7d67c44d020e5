#include "config/FileRead.h"

#include <fcntl.h>
#include <sys/stat.h>
#ifdef _WIN32
#include <io.h>

#include "config/WindowsText.h"
#else
#include <unistd.h>
#endif

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>

namespace otp {
namespace {

#ifdef _WIN32
// Windows has no FIFO to wait on; a file is read as its bytes, without the
// C runtime's text translation.
int OpenToRead(const std::string& path) { return OpenUtf8(path, _O_RDONLY | _O_BINARY | _O_NOINHERIT); }
int ReadSome(int fd, char* into, size_t count) {
    return _read(fd, into, static_cast<unsigned>(std::min<size_t>(count, 1u << 30)));
}
void CloseFd(int fd) { _close(fd); }
#else
// O_NONBLOCK: opening a FIFO without a writer would otherwise wait for one.
int OpenToRead(const std::string& path) { return open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC); }
ssize_t ReadSome(int fd, char* into, size_t count) { return read(fd, into, count); }
void CloseFd(int fd) { close(fd); }
#endif

class Fd {
public:
    explicit Fd(int fd) : fd_(fd) {}
    ~Fd() {
        if (fd_ >= 0) CloseFd(fd_);
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return fd_; }

private:
    int fd_;
};

// `whole`: a file longer than `maxBytes` is refused instead of cut short.
bool Read(const std::string& path, size_t maxBytes, bool whole, std::string& content, std::string& error) {
    content.clear();
    const Fd fd(OpenToRead(path));
    if (fd.get() < 0) {
        error = std::strerror(errno);
#ifdef _WIN32
        // Windows refuses to open a folder as a file at all.
        struct _stat64 st {};
        if (errno == EACCES && _wstat64(WideFromUtf8(path).c_str(), &st) == 0 && (st.st_mode & _S_IFDIR))
            error = "is a folder";
#endif
        return false;
    }
    struct stat st {};
    if (fstat(fd.get(), &st) != 0) {
        error = std::strerror(errno);
        return false;
    }
    if (S_ISDIR(st.st_mode)) {
        error = "is a folder";
        return false;
    }
    if (!S_ISREG(st.st_mode)) {
        error = "is not a regular file";
        return false;
    }
    if (whole && static_cast<unsigned long long>(st.st_size) > maxBytes) {
        error = "is too large";
        return false;
    }
    // One byte more than allowed tells a file that grew meanwhile.
    const size_t want = whole && maxBytes < SIZE_MAX ? maxBytes + 1 : maxBytes;
    content.resize(std::min(want, static_cast<size_t>(st.st_size) + 1));
    size_t done = 0;
    for (;;) {
        if (done == content.size()) {
            if (done >= want) break;
            content.resize(std::min(want, done * 2 + 4096));
        }
        const auto n = ReadSome(fd.get(), &content[done], content.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            error = std::strerror(errno);
            content.clear();
            return false;
        }
        if (n == 0) break;
        done += static_cast<size_t>(n);
    }
    if (whole && done > maxBytes) {
        error = "is too large";
        content.clear();
        return false;
    }
    content.resize(done);
    return true;
}

}  // namespace

bool ReadRegularFile(const std::string& path, size_t maxBytes, std::string& content, std::string& error) {
    return Read(path, maxBytes, true, content, error);
}

bool ReadRegularFileHead(const std::string& path, size_t maxBytes, std::string& content, std::string& error) {
    return Read(path, maxBytes, false, content, error);
}

}  // namespace otp
