#pragma once
// The serial ports of the system the program is built for: the termios port
// on Linux and other POSIX systems, the Win32 port on Windows. The fronts
// open real ports through SystemPortOpener; DeviceForPort, declared by both,
// tells the device a port name stands for on the system at hand.
#ifdef _WIN32
#include "link/WindowsSerialPort.h"
#else
#include "link/PosixSerialPort.h"
#endif

#include <memory>

#include "link/WriterLine.h"

namespace otp {

#ifdef _WIN32
using SystemPortOpener = WindowsPortOpener;
#else
using SystemPortOpener = PosixPortOpener;
#endif

// A writer of a station on a serial port of this system (COM1 to COM256), in real time.
inline WriterLine SystemWriterLine() {
    WriterLine line;
    line.opener = std::make_unique<SystemPortOpener>(true);
    line.pacer = std::make_unique<RealPacer>();
    return line;
}

}  // namespace otp
