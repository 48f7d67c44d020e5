#include "config/FileRead.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>

namespace otp {
namespace {

class Fd {
public:
    explicit Fd(int fd) : fd_(fd) {}
    ~Fd() {
        if (fd_ >= 0) close(fd_);
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
    // O_NONBLOCK: opening a FIFO without a writer would otherwise wait for one.
    const Fd fd(open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (fd.get() < 0) {
        error = std::strerror(errno);
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
        const ssize_t n = read(fd.get(), &content[done], content.size() - done);
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
