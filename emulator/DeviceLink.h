#pragma once
// The --link of the writer-emulator program: a symbolic link to its pty, and
// a lock file beside it (PATH.lock, holding the pid) that keeps a second
// emulator from taking the link over while this one serves it.
#include <string>

namespace otp::emu {

class DeviceLink {
public:
    explicit DeviceLink(std::string path);
    // Removes the link while it still leads to our device, and the lock file.
    ~DeviceLink();
    DeviceLink(const DeviceLink&) = delete;
    DeviceLink& operator=(const DeviceLink&) = delete;

    enum class Claim { Ok, Held, Failed };
    // Takes the lock file, for as long as this object lives. On Held (another
    // process serves the link) and Failed, `message` says why.
    Claim Lock(std::string& message);
    // Makes the link lead to `device`, replacing a link that is there.
    bool Make(const std::string& device, std::string& error);
    // Removes the link while it still leads to our device.
    void Remove();

private:
    std::string path_;
    std::string lockPath_;
    std::string device_;
    int lockFd_ = -1;
};

}  // namespace otp::emu
