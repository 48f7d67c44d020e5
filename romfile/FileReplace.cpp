#include "romfile/FileReplace.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

namespace otp {
namespace {

std::string Reason(int err) { return std::strerror(err); }

mode_t NewFileMode() {
    const mode_t mask = umask(0);
    umask(mask);
    return 0666 & ~mask;
}

}  // namespace

bool ReplaceFileContents(const std::string& path, const std::string& bytes, std::string& error) {
    const size_t slash = path.rfind('/');
    const std::string dir = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    if (name.empty()) {
        error = Reason(EISDIR);
        return false;
    }
    std::string pattern = dir + "." + name + ".XXXXXX";
    std::vector<char> temp(pattern.begin(), pattern.end());
    temp.push_back('\0');
    const int fd = mkstemp(temp.data());
    if (fd < 0) {
        error = Reason(errno);
        return false;
    }
    auto fail = [&](int err) {
        close(fd);
        unlink(temp.data());
        error = Reason(err);
        return false;
    };

    struct stat old {};
    const mode_t mode = stat(path.c_str(), &old) == 0 ? (old.st_mode & 07777) : NewFileMode();
    if (fchmod(fd, mode) != 0) return fail(errno);

    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return fail(n < 0 ? errno : EIO);
        done += static_cast<size_t>(n);
    }
    if (fsync(fd) != 0) return fail(errno);
    if (close(fd) != 0) {
        const int err = errno;
        unlink(temp.data());
        error = Reason(err);
        return false;
    }
    if (rename(temp.data(), path.c_str()) != 0) {
        const int err = errno;
        unlink(temp.data());
        error = Reason(err);
        return false;
    }
    return true;
}

}  // namespace otp
