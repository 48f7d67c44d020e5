#pragma once
// Real serial ports on Windows, through the Win32 communications API.
#include <string>

#include "link/SerialPort.h"

struct _DCB;  // Windows' DCB, the line settings of a port

namespace otp {

// The line settings the open asks for, over those the driver reported: 9600
// baud, 8 data bits, no parity, one stop bit, and a raw line: binary, no
// XON/XOFF, no byte replaced or dropped (no error character, nulls kept),
// no stop on a line error. DTR and RTS are on and DSR neither holds the
// output nor drops input, whatever the last program left on the port; CTS
// flow control stays as the driver has it, as on POSIX systems.
void MakeLineRaw(_DCB& dcb);

// Why a port would not open, in the system's words, with what the operator
// can do for the common reasons: "the port is open in another program" for
// access denied, "no such port" for a port that is not there.
std::string PortOpenReason(unsigned long code);

// Whether ClearCommError's error flags tell that the bytes which came with
// them are not what the writer sent: a break (which the driver reads as a
// 00), a framing or parity error, or an overrun. The driver cannot drop such
// bytes, so the answer they came in is thrown away.
bool LineErrorsSpoilAnswer(unsigned long errors);

// The device a port name stands for (the same function as on POSIX systems,
// defined for Windows): COMn is the device named by the environment variable
// OTPWRITER_COMn when it is set, else \\.\COMn. Empty for a name that is not
// COM1..COM4 (IsKnownPortName).
// A station's opener (`stationPorts`) knows COM1..COM256 (IsStationPortName).
std::string DeviceForPort(const std::string& portName);
std::string DeviceForPort(const std::string& portName, bool stationPorts);

class WindowsPortOpener : public PortOpener {
public:
    // A station's opener knows COM1..COM256, a program's COM1..COM4.
    explicit WindowsPortOpener(bool stationPorts = false) : stationPorts_(stationPorts) {}
    OpenResult Open(const std::string& portName, std::unique_ptr<SerialPort>& port) override;
    // The device of the last failed open and why (PortOpenReason).
    OpenFailure LastFailure() const override { return failure_; }

private:
    OpenFailure failure_;
    bool stationPorts_;
};

}  // namespace otp
