#pragma once
// The serial line as the link needs it: an open port that writes single
// bytes and hands over whatever has arrived, and the opener that makes one.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "link/Pacer.h"

namespace otp {

class SerialPort {
public:
    virtual ~SerialPort() = default;
    // Writes one byte. False when the port did not take it within a bounded
    // time (the line stopped taking bytes: cable, flow control, a writer
    // that has gone); other write errors are not reported.
    virtual bool WriteByte(uint8_t byte) = 0;
    // Waits, through `pacer`, until every byte written so far has left the
    // port; false when they stopped leaving (no progress for a bounded time).
    virtual bool WaitSent(Pacer& pacer) = 0;
    // Everything that has arrived by now, never waiting for more. A port that
    // has gone away answers with nothing.
    virtual std::vector<uint8_t> TakeArrived() = 0;
    // Throws away whatever has arrived and not been taken, so that the next
    // answer taken is the one to the request that follows; true when there
    // was something to throw away.
    virtual bool DiscardInput() = 0;
    // What a pacer's sleep waits on to wake when bytes arrive
    // (Pacer::SleepUntilArrival); nothing for a port that cannot wake one,
    // whose waits then sleep their full time. It lives as long as the port.
    virtual PortWake* Wake() { return nullptr; }
};

enum class OpenResult { Ok, OpenError, SettingError };

// Why an open failed, as far as the opener can tell: the device it tried and
// the system's error number of the call that failed, or a reason of its own
// where the system's would mislead. An empty device: nothing known.
struct OpenFailure {
    std::string device;
    int error = 0;
    std::string reason;
};

class PortOpener {
public:
    virtual ~PortOpener() = default;
    // Opens the named port ("COM1".."COM4") exclusively at 9600 8N1.
    virtual OpenResult Open(const std::string& portName, std::unique_ptr<SerialPort>& port) = 0;
    // Why the last Open failed; asked only right after a failed one.
    // An opener that cannot tell answers with an empty device.
    virtual OpenFailure LastFailure() const { return {}; }
};

}  // namespace otp
