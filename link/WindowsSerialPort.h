#pragma once
// Real serial ports on Windows, through the Win32 communications API.
#include <string>

#include "link/SerialPort.h"

struct _DCB;  // Windows' DCB, the line settings of a port

namespace otp {

// The line settings the open asks for, over those the driver reported: 9600
// baud, 8 data bits, no parity, one stop bit, and a raw line: binary, no
// XON/XOFF, no byte replaced or dropped (no error character, nulls kept),
// no stop on a line error. The hardware flow control and the modem lines
// stay as the driver has them.
void MakeLineRaw(_DCB& dcb);

// Whether ClearCommError's error flags tell that the bytes which came with
// them are not what the writer sent: a break (which the driver reads as a
// 00), a framing or parity error, or an overrun. The driver cannot drop such
// bytes, so the answer they came in is thrown away.
bool LineErrorsSpoilAnswer(unsigned long errors);

// The device a port name stands for (the same function as on POSIX systems,
// defined for Windows): COMn is the device named by the environment variable
// OTPWRITER_COMn when it is set, else \\.\COMn. Empty for a name that is not
// COM1..COM4 (IsKnownPortName).
std::string DeviceForPort(const std::string& portName);

class WindowsPortOpener : public PortOpener {
public:
    OpenResult Open(const std::string& portName, std::unique_ptr<SerialPort>& port) override;
};

}  // namespace otp
