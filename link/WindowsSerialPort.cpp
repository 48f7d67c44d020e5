#include "link/WindowsSerialPort.h"

#include <windows.h>
#include <mmsystem.h>

#include <chrono>
#include <cstdlib>
#include <vector>

#include "config/WindowsText.h"
#include "config/WriterIni.h"
#include "link/SendQueue.h"

namespace otp {
namespace {

// The bounds of the termios port, for the same reasons: a drain takes more
// than a reply can hold and ends after a bounded time; the port may take no
// byte (a write) or send none of those it holds (a wait for them to leave)
// for 2 s before the line counts as stopped.
constexpr size_t kMaxTake = 65536;
constexpr std::chrono::milliseconds kMaxTakeTime{200};

using Clock = std::chrono::steady_clock;

// A read returns at once with what has arrived; a write of one byte may take
// its line time (about 1 ms) and kStallMs beyond it.
COMMTIMEOUTS NonWaitingTimeouts() {
    COMMTIMEOUTS timeouts{};
    timeouts.ReadIntervalTimeout = MAXDWORD;
    timeouts.ReadTotalTimeoutMultiplier = 0;
    timeouts.ReadTotalTimeoutConstant = 0;
    timeouts.WriteTotalTimeoutMultiplier = 2;
    timeouts.WriteTotalTimeoutConstant = kStallMs;
    return timeouts;
}

int MsSince(Clock::time_point t) {
    return static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - t).count());
}

class WindowsSerialPort : public SerialPort, private PortWake {
public:
    // While a port is open the system's timer runs at 1 ms, so that the
    // link's 1 ms pauses last about 1 ms instead of a whole default tick.
    explicit WindowsSerialPort(HANDLE port) : port_(port) { timeBeginPeriod(1); }
    ~WindowsSerialPort() override {
        // What has not left by the end of its line time never will (flow
        // control held, cable gone): it is dropped, so that closing the port
        // never waits on it.
        DWORD in = 0, queued = 0;
        if (!stalled_ && Queues(in, queued) && queued > 0) {
            // A byte takes 1.04 ms at 9600 baud; allow for a little more.
            const int lineMs = static_cast<int>(queued) * 11 / 10 + 20;
            const Clock::time_point start = Clock::now();
            while (Queues(in, queued) && queued > 0 && MsSince(start) < lineMs) Sleep(1);
        }
        PurgeComm(port_, PURGE_TXABORT | PURGE_TXCLEAR);
        CloseHandle(port_);
        timeEndPeriod(1);
    }

    bool WriteByte(uint8_t byte) override {
        if (stalled_) return false;
        // The port's write timeout (set at the open) bounds the wait for
        // room: the byte's line time and kStallMs beyond it.
        DWORD written = 0;
        const BOOL ok = WriteFile(port_, &byte, 1, &written, nullptr);
        if (written == 1) return true;
        const DWORD error = ok ? ERROR_TIMEOUT : GetLastError();
        if (error != ERROR_TIMEOUT && error != ERROR_SEM_TIMEOUT) return true;  // other errors are not reported
        stalled_ = true;
        return false;
    }

    bool WaitSent(Pacer& pacer) override {
        if (stalled_) return false;
        stalled_ = !WaitForEmptySendQueue(pacer, [this] {
            DWORD in = 0, queued = 0;
            return Queues(in, queued) ? static_cast<long>(queued) : -1L;
        });
        return !stalled_;
    }

    std::vector<uint8_t> TakeArrived() override {
        // Reads never wait (the read timeouts set at the open); read until
        // the queue has stayed empty for a moment, as on a tty. A line that
        // never falls silent (a flood) is cut off after a bounded count and
        // time, so a drain always ends.
        // The byte a wait took to wake on comes first.
        std::vector<uint8_t> bytes = std::move(held_);
        held_.clear();
        uint8_t chunk[4096];
        int emptyReads = 0;
        const auto start = Clock::now();
        while (emptyReads < 3 && bytes.size() < kMaxTake && Clock::now() - start < kMaxTakeTime) {
            DWORD n = 0;
            if (!ReadFile(port_, chunk, sizeof chunk, &n, nullptr)) break;  // the device has gone away
            if (n > 0) {
                bytes.insert(bytes.end(), chunk, chunk + n);
                emptyReads = 0;
                continue;
            }
            ++emptyReads;
            Sleep(1);
        }
        // A line error since the input was last thrown away came with these
        // bytes: one of them may be a 00 that a break left, or a byte the
        // line garbled. None of them is taken for the writer's answer; the
        // callers fail an empty one.
        DWORD in = 0, out = 0;
        Queues(in, out);
        const bool spoiled = LineErrorsSpoilAnswer(lineErrors_);
        lineErrors_ = 0;
        if (spoiled) bytes.clear();
        return bytes;
    }

    bool DiscardInput() override {
        DWORD in = 0, out = 0;
        bool any = (Queues(in, out) && in > 0) || !held_.empty();
        held_.clear();
        PurgeComm(port_, PURGE_RXABORT | PURGE_RXCLEAR);
        uint8_t chunk[4096];
        for (;;) {
            DWORD n = 0;
            if (!ReadFile(port_, chunk, sizeof chunk, &n, nullptr) || n == 0) break;
            any = true;
        }
        // The errors of what was thrown away are forgotten with it.
        lineErrors_ = 0;
        return any;
    }

    PortWake* Wake() override { return this; }

private:
    // A read of one byte with a total time-out only: it returns with the
    // first byte or when the time is out. The byte it brings is held for the
    // next drain, and the reads go back to never waiting. The line errors that came with it stay with the
    // driver until that drain asks for them.
    bool AwaitByte(int timeoutMs) override {
        if (!held_.empty()) return true;
        DWORD in = 0, out = 0;
        if (!Queues(in, out)) return SleepOut(timeoutMs);  // the device has gone away
        if (in > 0) return true;
        if (timeoutMs <= 0) return false;
        COMMTIMEOUTS waiting = NonWaitingTimeouts();
        waiting.ReadIntervalTimeout = 0;
        waiting.ReadTotalTimeoutMultiplier = 0;
        waiting.ReadTotalTimeoutConstant = static_cast<DWORD>(timeoutMs);
        if (!SetCommTimeouts(port_, &waiting)) return SleepOut(timeoutMs);
        uint8_t byte = 0;
        DWORD n = 0;
        const BOOL ok = ReadFile(port_, &byte, 1, &n, nullptr);
        COMMTIMEOUTS nonWaiting = NonWaitingTimeouts();
        SetCommTimeouts(port_, &nonWaiting);
        if (ok && n == 1) {
            held_.push_back(byte);
            return true;
        }
        return ok ? false : SleepOut(timeoutMs);
    }
    // A port that fails cannot wake anybody: the wait sleeps its time out
    // rather than spin on it.
    static bool SleepOut(int timeoutMs) {
        if (timeoutMs > 0) Sleep(static_cast<DWORD>(timeoutMs));
        return false;
    }

    // What the driver holds: bytes waiting to be read, and bytes still to
    // send. False when the driver does not answer (the device has gone
    // away). Asking clears the driver's error flags, so they are kept here
    // until the answer they belong to is taken or thrown away.
    bool Queues(DWORD& in, DWORD& out) {
        DWORD errors = 0;
        COMSTAT stat{};
        if (!ClearCommError(port_, &errors, &stat)) return false;
        lineErrors_ |= errors;
        in = stat.cbInQue;
        out = stat.cbOutQue;
        return true;
    }

    HANDLE port_;
    bool stalled_ = false;
    DWORD lineErrors_ = 0;
    // The byte a wait read to wake on, not yet drained.
    std::vector<uint8_t> held_;
};

}  // namespace

void MakeLineRaw(DCB& dcb) {
    dcb.BaudRate = CBR_9600;
    dcb.ByteSize = 8;
    dcb.Parity = NOPARITY;
    dcb.StopBits = ONESTOPBIT;
    dcb.fBinary = TRUE;
    dcb.fParity = FALSE;
    dcb.fOutX = FALSE;
    dcb.fInX = FALSE;
    dcb.fErrorChar = FALSE;
    dcb.fNull = FALSE;
    dcb.fAbortOnError = FALSE;
    dcb.fDtrControl = DTR_CONTROL_ENABLE;
    dcb.fRtsControl = RTS_CONTROL_ENABLE;
    dcb.fOutxDsrFlow = FALSE;
    dcb.fDsrSensitivity = FALSE;
}

std::string PortOpenReason(unsigned long code) {
    std::string reason = SystemReason(code);
    if (code == ERROR_ACCESS_DENIED || code == ERROR_SHARING_VIOLATION)
        reason += " (the port is open in another program: close it there)";
    else if (code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND)
        reason += " (no such port: see which COM ports the Device Manager lists)";
    return reason;
}

bool LineErrorsSpoilAnswer(unsigned long errors) {
    return (errors & (CE_BREAK | CE_FRAME | CE_RXPARITY | CE_OVERRUN)) != 0;
}

std::string DeviceForPort(const std::string& portName) { return DeviceForPort(portName, false); }

std::string DeviceForPort(const std::string& portName, bool stationPorts) {
    if (!(stationPorts ? IsStationPortName(portName) : IsKnownPortName(portName))) return {};
    const std::string n = portName.substr(3);
    const std::string variable = "OTPWRITER_" + portName;
    if (const char* device = std::getenv(variable.c_str()); device && *device) return device;
    return std::string("\\\\.\\COM") + n;
}

OpenResult WindowsPortOpener::Open(const std::string& portName, std::unique_ptr<SerialPort>& port) {
    port.reset();
    failure_ = OpenFailure{};
    const std::string device = DeviceForPort(portName, stationPorts_);
    if (device.empty()) return OpenResult::OpenError;
    // Share mode 0: nobody else opens the port while we hold it.
    const HANDLE h = CreateFileW(WideFromUtf8(device).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                 OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        const DWORD code = GetLastError();
        failure_ = OpenFailure{device, 0, PortOpenReason(code)};
        return OpenResult::OpenError;
    }
    const auto settingError = [&] {
        failure_ = OpenFailure{device, 0, SystemReason(GetLastError())};
        CloseHandle(h);
        return OpenResult::SettingError;
    };
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    if (!GetCommState(h, &dcb)) return settingError();
    // As the termios port makes its line discipline raw, every byte passes
    // untouched both ways; a byte the line spoiled is seen by the drain.
    MakeLineRaw(dcb);
    if (!SetCommState(h, &dcb)) return settingError();
    COMMTIMEOUTS timeouts = NonWaitingTimeouts();
    if (!SetCommTimeouts(h, &timeouts)) return settingError();
    port = std::make_unique<WindowsSerialPort>(h);
    return OpenResult::Ok;
}

}  // namespace otp
