#pragma once
// Real serial ports on Windows, through the Win32 communications API.
#include <string>

#include "link/SerialPort.h"

namespace otp {

// The device a port name stands for (the same function as on POSIX systems,
// defined for Windows): COMn is the device named by the environment variable
// OTPWRITER_COMn when it is set, else \\.\COMn. Empty for a name that is not
// COM1..COM9.
std::string DeviceForPort(const std::string& portName);

class WindowsPortOpener : public PortOpener {
public:
    OpenResult Open(const std::string& portName, std::unique_ptr<SerialPort>& port) override;
};

}  // namespace otp
