#include "link/PosixSerialPort.h"

#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <utility>

#include "config/WriterIni.h"
#include "link/SendQueue.h"

namespace otp {
namespace {

// Bounds of one drain: more than a reply can hold, and long enough for
// the bytes a tty holds back behind its first 4095.
constexpr size_t kMaxTake = 65536;
constexpr std::chrono::milliseconds kMaxTakeTime{200};
// How long the port may take no byte (a write) or send none of those it
// holds (a wait for them to leave) before the line counts as stopped: far
// beyond the line time of anything the host queues at 9600 baud.

using Clock = std::chrono::steady_clock;

int MsSince(Clock::time_point t) {
    return static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - t).count());
}

class PosixSerialPort : public SerialPort, private PortWake {
public:
    explicit PosixSerialPort(int fd) : fd_(fd) {}
    ~PosixSerialPort() override {
        // What has not left by the end of its line time never will (flow
        // control held, cable gone): it is dropped, so that closing the port
        // never waits on it.
        int queued = 0;
        if (!stalled_ && ioctl(fd_, TIOCOUTQ, &queued) == 0 && queued > 0) {
            // A byte takes 1.04 ms at 9600 baud; allow for a little more.
            const int lineMs = queued * 11 / 10 + 20;
            const Clock::time_point start = Clock::now();
            while (ioctl(fd_, TIOCOUTQ, &queued) == 0 && queued > 0 && MsSince(start) < lineMs) usleep(1000);
        }
        tcflush(fd_, TCOFLUSH);
        ioctl(fd_, TIOCNXCL);
        close(fd_);
    }

    bool WriteByte(uint8_t byte) override {
        if (stalled_) return false;
        const Clock::time_point start = Clock::now();
        for (;;) {
            const ssize_t n = write(fd_, &byte, 1);
            if (n == 1) return true;
            if (n < 0 && errno == EINTR) continue;
            if (n < 0 && errno != EAGAIN) return true;  // other errors are not reported
            const int left = kStallMs - MsSince(start);
            if (left <= 0) {
                stalled_ = true;
                return false;
            }
            pollfd p{fd_, POLLOUT, 0};
            poll(&p, 1, left);
        }
    }

    bool WaitSent(Pacer& pacer) override {
        if (stalled_) return false;
        stalled_ = !WaitForEmptySendQueue(pacer, [this] {
            int queued = 0;
            return ioctl(fd_, TIOCOUTQ, &queued) == 0 ? static_cast<long>(queued) : -1L;
        });
        return !stalled_;
    }

    std::vector<uint8_t> TakeArrived() override {
        // A tty hands out at most 4095 bytes at a time while more wait behind
        // them; read until the queue has stayed empty for a moment. A line
        // that never falls silent (a flood) is cut off after a bounded count
        // and time, so a drain always ends.
        std::vector<uint8_t> bytes;
        uint8_t chunk[4096];
        int emptyReads = 0;
        const auto start = std::chrono::steady_clock::now();
        while (emptyReads < 3 && bytes.size() < kMaxTake &&
               std::chrono::steady_clock::now() - start < kMaxTakeTime) {
            const ssize_t n = read(fd_, chunk, sizeof chunk);
            if (n > 0) {
                bytes.insert(bytes.end(), chunk, chunk + n);
                emptyReads = 0;
                continue;
            }
            if (n < 0 && errno == EINTR) continue;
            if (n < 0 && errno != EAGAIN) break;  // the device has gone away
            ++emptyReads;
            usleep(500);
        }
        return bytes;
    }

    bool DiscardInput() override {
        int queued = 0;
        if (ioctl(fd_, FIONREAD, &queued) != 0) queued = 0;
        tcflush(fd_, TCIFLUSH);
        bool any = queued > 0;
        uint8_t chunk[4096];
        for (;;) {
            const ssize_t n = read(fd_, chunk, sizeof chunk);
            if (n > 0) {
                any = true;
                continue;
            }
            if (n < 0 && errno == EINTR) continue;
            return any;
        }
    }

    PortWake* Wake() override { return this; }

private:
    // The tty tells readable once a byte has passed the line discipline, so
    // a byte it drops (a break, a framing error) wakes nobody.
    bool AwaitByte(int timeoutMs) override {
        pollfd p{fd_, POLLIN, 0};
        const int n = poll(&p, 1, std::max(timeoutMs, 0));
        if (n <= 0) return false;  // the time is out, or a signal came: the caller waits on
        if ((p.revents & (POLLHUP | POLLERR | POLLNVAL)) == 0) return (p.revents & POLLIN) != 0;
        // A device that has gone away (a hang-up) stays ready, readable too,
        // with nothing to read: the wait sleeps its time out rather than spin
        // on it, and the drain after it finds what there is.
        if (timeoutMs > 0) poll(nullptr, 0, timeoutMs);
        return false;
    }

    int fd_;
    bool stalled_ = false;
};

}  // namespace

bool MakeLineRaw(termios& tio) {
    const tcflag_t keptControl = tio.c_cflag & (CRTSCTS | CLOCAL | HUPCL);
    cfmakeraw(&tio);
    tio.c_cflag = (tio.c_cflag & ~(CSIZE | PARENB | CSTOPB | CRTSCTS | CLOCAL | HUPCL)) | CS8 | CREAD | keptControl;
    // A break would read as a 00 (IGNBRK drops it; BRKINT off, so it raises
    // no signal), and so would a byte with a framing error: IGNPAR drops it,
    // but Linux looks at IGNPAR only while INPCK is set, and passes the byte
    // on as received otherwise. With no parity bit on the line INPCK checks
    // no parity; it only lets the errors be seen. PARMRK off: nothing is
    // marked. A reply that lost a byte this way is short, and fails.
    tio.c_iflag = (tio.c_iflag & ~(BRKINT | PARMRK)) | IGNBRK | IGNPAR | INPCK;
    tio.c_cc[VMIN] = 0;
    tio.c_cc[VTIME] = 0;
    return cfsetispeed(&tio, B9600) == 0 && cfsetospeed(&tio, B9600) == 0;
}

std::string DeviceForPort(const std::string& portName) { return DeviceForPort(portName, false); }

std::string DeviceForPort(const std::string& portName, bool stationPorts) {
    if (!(stationPorts ? IsStationPortName(portName) : IsKnownPortName(portName))) return {};
    const std::string n = portName.substr(3);
    const std::string variable = "OTPWRITER_" + portName;
    if (const char* device = std::getenv(variable.c_str()); device && *device) return device;
    return "/dev/ttyS" + std::to_string(std::stoi(n) - 1);
}

OpenResult PosixPortOpener::Fail(OpenResult result, const std::string& device, int error, int fd,
                                  std::string reason) {
    if (fd >= 0) close(fd);
    failure_ = OpenFailure{device, error, std::move(reason)};
    return result;
}

OpenResult PosixPortOpener::Open(const std::string& portName, std::unique_ptr<SerialPort>& port) {
    port.reset();
    failure_ = OpenFailure{};
    const std::string device = DeviceForPort(portName, stationPorts_);
    if (device.empty())
        return Fail(OpenResult::OpenError, portName.empty() ? "(no port)" : portName, 0, -1,
                    std::string(portName.empty() ? "no port is named" : "no port of this program") + ": " +
                        (stationPorts_ ? kStationPorts : kKnownPorts) + " are known");
    const int fd = open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return Fail(OpenResult::OpenError, device, errno);
    // Exclusive use: TIOCEXCL keeps other programs out (root excepted); the
    // lock keeps out every program that asks for one, root included.
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int error = errno;
        return Fail(OpenResult::OpenError, device, error, fd,
                    error == EWOULDBLOCK ? "in use by another program, which holds its lock" : std::string());
    }
    ioctl(fd, TIOCEXCL);  // fails only for a device that is no terminal, found out next
    termios tio{};
    if (tcgetattr(fd, &tio) != 0) return Fail(OpenResult::SettingError, device, errno, fd);
    if (!MakeLineRaw(tio) || tcsetattr(fd, TCSANOW, &tio) != 0)
        return Fail(OpenResult::SettingError, device, errno, fd);
    // Neither reads nor writes block: a write waits a bounded time for room.
    port = std::make_unique<PosixSerialPort>(fd);
    return OpenResult::Ok;
}

}  // namespace otp
