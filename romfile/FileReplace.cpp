#include "romfile/FileReplace.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <vector>

namespace otp {
namespace {

std::string Reason(int err) { return std::strerror(err); }

// The folder part of a path, its last "/" included; empty for a bare name.
std::string FolderOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

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

mode_t NewFileMode() {
    const mode_t mask = umask(0);
    umask(mask);
    return 0666 & ~mask;
}

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
    const size_t keep = std::min(name.size(), static_cast<size_t>(NAME_MAX) - 8);
    std::string pattern = dir + "." + name.substr(0, keep) + ".XXXXXX";
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
