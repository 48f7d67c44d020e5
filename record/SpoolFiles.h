#pragma once
// The record spool's files on disk: each made readable by its user only
// (0600, the umask aside), each change on disk before the call returns, and
// a change that fails leaves the file as it was.
#include <string>

namespace otp {

// An exclusive lock on a file of its own, held until released or destroyed;
// the file stays when the lock goes (a program that removed it could leave
// another holding the lock of a name nobody else finds).
class FileLock {
public:
    enum class Result { Taken, HeldElsewhere, Failed };

    FileLock() = default;
    ~FileLock() { Release(); }
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

    // Makes `path` when missing and locks it without waiting; `why` says
    // what failed.
    Result Take(const std::string& path, std::string& why);
    void Release();
    bool Held() const { return fd_ >= 0; }

private:
    int fd_ = -1;
};

// The whole file; `exists` false (and true returned) when there is none.
bool ReadWholeFile(const std::string& path, std::string& bytes, bool& exists, std::string& why);

// Appends `bytes`, preceded by `firstLine` when the file is empty or new,
// and syncs: all of it is on disk, or the file is cut back to its size
// before and `why` says what failed.
bool AppendWhole(const std::string& path, const std::string& bytes, const std::string& firstLine, std::string& why);

// Puts `bytes` in the place of `path`: written beside it, synced, renamed
// over it, the folder synced. A crash leaves the old file or the new one.
bool ReplaceWhole(const std::string& path, const std::string& bytes, std::string& why);

// Removes `path`, if there, and syncs its folder.
bool RemoveSynced(const std::string& path, std::string& why);

// Cuts `path` to its first `size` bytes, synced.
bool CutFileTo(const std::string& path, long long size, std::string& why);

}  // namespace otp
