#pragma once
// Real serial ports on a POSIX tty.
#include <string>

#include "link/SerialPort.h"

struct termios;

namespace otp {

// The line settings the open asks for, made from those the tty had: 9600
// baud, 8 data bits, no parity, one stop bit, a raw line discipline in which
// every byte passes untouched both ways, reads that never wait, and the
// hardware flow control and modem-line settings kept. The line's errors are
// no data: a break is ignored and a byte with a framing or parity error is
// dropped, so that neither reads as a 00. False when the speed is refused.
bool MakeLineRaw(termios& tio);

// The device a port name stands for: COMn is the device named by the
// environment variable OTPWRITER_COMn when it is set, else /dev/ttyS<n-1>.
// Empty for a name that is not COM1..COM4 (IsKnownPortName).
// A station's opener (`stationPorts`) knows COM1..COM256 (IsStationPortName).
std::string DeviceForPort(const std::string& portName);
std::string DeviceForPort(const std::string& portName, bool stationPorts);

class PosixPortOpener : public PortOpener {
public:
    // A station's opener knows COM1..COM256, a program's COM1..COM4.
    explicit PosixPortOpener(bool stationPorts = false) : stationPorts_(stationPorts) {}
    OpenResult Open(const std::string& portName, std::unique_ptr<SerialPort>& port) override;
    // The device of the last failed open and the error of the call that failed.
    OpenFailure LastFailure() const override { return failure_; }

private:
    // Notes why the open of `device` failed and closes `fd` when it is open.
    OpenResult Fail(OpenResult result, const std::string& device, int error, int fd = -1,
                    std::string reason = {});

    OpenFailure failure_;
    bool stationPorts_;
};

}  // namespace otp
