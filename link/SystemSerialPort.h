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

namespace otp {

#ifdef _WIN32
using SystemPortOpener = WindowsPortOpener;
#else
using SystemPortOpener = PosixPortOpener;
#endif

}  // namespace otp
