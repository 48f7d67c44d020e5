#include "emulator/DeviceLink.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>

namespace otp::emu {
namespace {

std::string Reason() { return std::strerror(errno); }

// The pid a holder wrote into the lock file, or "" while it has not yet.
std::string HolderPid(int fd) {
    char buf[32] = {};
    const ssize_t n = pread(fd, buf, sizeof buf - 1, 0);
    if (n <= 0) return "";
    std::string text(buf, static_cast<size_t>(n));
    text = text.substr(0, text.find('\n'));
    return text.find_first_not_of("0123456789") == std::string::npos ? text : "";
}

}  // namespace

DeviceLink::DeviceLink(std::string path) : path_(std::move(path)), lockPath_(path_ + ".lock") {}

DeviceLink::~DeviceLink() {
    Remove();
    if (lockFd_ < 0) return;
    // Unlinked while still locked: a process waiting on the old file sees
    // that it is no longer the lock file and opens the path afresh.
    unlink(lockPath_.c_str());
    close(lockFd_);
}

DeviceLink::Claim DeviceLink::Lock(std::string& message) {
    for (;;) {
        const int fd = open(lockPath_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
        if (fd < 0) {
            message = "cannot open " + lockPath_ + ": " + Reason();
            return Claim::Failed;
        }
        if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
            const bool held = errno == EWOULDBLOCK;
            message = held ? path_ + " is served by another writer-emulator" : "cannot lock " + lockPath_ + ": " + Reason();
            const std::string pid = held ? HolderPid(fd) : "";
            if (!pid.empty()) message += " (pid " + pid + ")";
            close(fd);
            return held ? Claim::Held : Claim::Failed;
        }
        // The holder before us may have removed the file between our open and
        // our lock; a lock on a file no longer at the path guards nothing.
        struct stat held {}, named {};
        if (fstat(fd, &held) == 0 && stat(lockPath_.c_str(), &named) == 0 && held.st_dev == named.st_dev &&
            held.st_ino == named.st_ino) {
            const std::string pid = std::to_string(getpid()) + "\n";
            if (ftruncate(fd, 0) != 0 || pwrite(fd, pid.data(), pid.size(), 0) != static_cast<ssize_t>(pid.size())) {
                message = "cannot write " + lockPath_ + ": " + Reason();
                close(fd);
                return Claim::Failed;
            }
            lockFd_ = fd;
            return Claim::Ok;
        }
        close(fd);
    }
}

bool DeviceLink::Make(const std::string& device, std::string& error) {
    struct stat st {};
    if (lstat(path_.c_str(), &st) == 0) {
        if (!S_ISLNK(st.st_mode)) {
            error = path_ + " exists and is not a symbolic link";
            return false;
        }
        unlink(path_.c_str());
    }
    if (symlink(device.c_str(), path_.c_str()) != 0) {
        error = "cannot link " + path_ + ": " + Reason();
        return false;
    }
    device_ = device;
    return true;
}

void DeviceLink::Remove() {
    if (device_.empty()) return;
    char buf[PATH_MAX];
    const ssize_t n = readlink(path_.c_str(), buf, sizeof buf - 1);
    if (n >= 0 && device_ == std::string(buf, static_cast<size_t>(n))) unlink(path_.c_str());
    device_.clear();
}

}  // namespace otp::emu
