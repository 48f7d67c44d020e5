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
};

}  // namespace otp
