#pragma once
// The serial line as the link needs it: an open port that writes single
// bytes and hands over whatever has arrived, and the opener that makes one.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace otp {

class SerialPort {
public:
    virtual ~SerialPort() = default;
    // Writes one byte; errors are not reported.
    virtual void WriteByte(uint8_t byte) = 0;
    // Everything that has arrived by now, never waiting for more. A port that
    // has gone away answers with nothing.
    virtual std::vector<uint8_t> TakeArrived() = 0;
    // Throws away whatever has arrived and not been taken, so that the next
    // answer taken is the one to the request that follows.
    virtual void DiscardInput() = 0;
};

enum class OpenResult { Ok, OpenError, SettingError };

class PortOpener {
public:
    virtual ~PortOpener() = default;
    // Opens the named port ("COM1".."COM4") exclusively at 9600 8N1.
    virtual OpenResult Open(const std::string& portName, std::unique_ptr<SerialPort>& port) = 0;
};

}  // namespace otp
