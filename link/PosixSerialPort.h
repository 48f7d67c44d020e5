#pragma once
// Real serial ports on a POSIX tty.
#include <string>

#include "link/SerialPort.h"

namespace otp {

// The device a port name stands for: COMn is the device named by the
// environment variable OTPWRITER_COMn when it is set, else /dev/ttyS<n-1>.
// Empty for a name that is not COM1..COM9.
std::string DeviceForPort(const std::string& portName);

class PosixPortOpener : public PortOpener {
public:
    OpenResult Open(const std::string& portName, std::unique_ptr<SerialPort>& port) override;
    // The device of the last failed open and the error of the call that failed.
    OpenFailure LastFailure() const override { return failure_; }

private:
    // Notes why the open of `device` failed and closes `fd` when it is open.
    OpenResult Fail(OpenResult result, const std::string& device, int error, int fd = -1,
                    std::string reason = {});

    OpenFailure failure_;
};

}  // namespace otp
