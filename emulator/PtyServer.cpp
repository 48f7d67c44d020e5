#include "emulator/PtyServer.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <iostream>

#include "emulator/IcAccess.h"

namespace otp::emu {
namespace {
int64_t SteadyNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// While no host holds the device, the master only reports a hang-up; look
// again this often.
constexpr int64_t kUnheldPollUs = 2000;
// Longest single wait, so that a stop is never missed for long.
constexpr int64_t kMaxWaitUs = 20000;
// Closing the master throws away what the host has not read yet, while a
// real line leaves the last bytes of a dying writer in the host's UART: the
// device of a dead writer stays until the host has read them, or at most
// kBuryAfterUs. The kernel moves bytes written to the master into the
// slave's queue a little later, so an empty queue counts only after
// kSettleUs.
constexpr int64_t kBuryAfterUs = 1000000;
constexpr int64_t kSettleUs = 100000;

std::string Trim(const std::string& s) {
    const char* ws = " \t\r\n";
    const size_t b = s.find_first_not_of(ws);
    if (b == std::string::npos) return "";
    return s.substr(b, s.find_last_not_of(ws) - b + 1);
}
}  // namespace

PtyServer::PtyServer(WriterEmulator& writer, bool pacing)
    : writer_(writer), pacing_(pacing), startNs_(SteadyNs()) {
    writer_.SetLineTiming(pacing);
}

PtyServer::~PtyServer() {
    if (lingerFd_ >= 0) close(lingerFd_);
    if (master_ >= 0) close(master_);
}

int64_t PtyServer::NowUs() const { return (SteadyNs() - startNs_) / 1000; }

bool PtyServer::Open(std::string& error) {
    master_ = posix_openpt(O_RDWR | O_NOCTTY);
    if (master_ < 0) {
        error = std::string("cannot create a pseudo-terminal: ") + std::strerror(errno);
        return false;
    }
    if (grantpt(master_) != 0 || unlockpt(master_) != 0) {
        error = std::string("cannot unlock the pseudo-terminal: ") + std::strerror(errno);
        return false;
    }
    const char* name = ptsname(master_);
    if (!name) {
        error = "cannot name the pseudo-terminal";
        return false;
    }
    devicePath_ = name;
    // The line settings belong to the pty pair and last while the master is
    // open, so setting them once here serves every later open of the slave.
    const int slave = open(devicePath_.c_str(), O_RDWR | O_NOCTTY);
    if (slave < 0) {
        error = "cannot open " + devicePath_ + ": " + std::strerror(errno);
        return false;
    }
    termios tio{};
    bool ok = tcgetattr(slave, &tio) == 0;
    if (ok) {
        cfmakeraw(&tio);
        tio.c_cflag &= ~(CSTOPB | PARENB | CSIZE);
        tio.c_cflag |= CS8 | CREAD | CLOCAL;
        tio.c_cc[VMIN] = 1;
        tio.c_cc[VTIME] = 0;
        cfsetispeed(&tio, B9600);
        cfsetospeed(&tio, B9600);
        ok = tcsetattr(slave, TCSANOW, &tio) == 0;
    }
    close(slave);
    if (!ok) {
        error = "cannot set the line of " + devicePath_ + ": " + std::strerror(errno);
        return false;
    }
    fcntl(master_, F_SETFL, fcntl(master_, F_GETFL) | O_NONBLOCK);
    return true;
}

bool PtyServer::ReadHost(int64_t nowUs) {
    pollfd p{master_, POLLIN, 0};
    if (poll(&p, 1, 0) < 0) return true;
    if (!(p.revents & POLLIN)) {
        waiting_ = false;
        return !(p.revents & (POLLHUP | POLLERR));
    }
    uint8_t buf[4096];
    for (;;) {
        // With pacing a byte is taken off the pty only when the line is free
        // to carry it, so the rest waits in the host's output queue as it
        // would behind a real UART, and the host sees its backlog.
        if (pacing_ && writer_.HostLineFreeUs() > nowUs) return true;
        const ssize_t n = read(master_, buf, pacing_ ? 1 : sizeof buf);
        if (n > 0) {
            // A byte that waited for the line follows the one before it
            // back to back; one that found the line idle starts now.
            const int64_t sentUs = waiting_ ? std::min(writer_.HostLineFreeUs(), nowUs) : nowUs;
            for (ssize_t i = 0; i < n; ++i) writer_.Receive(buf[i], sentUs);
            waiting_ = pacing_;
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            waiting_ = false;
            return true;
        }
        return false;  // EIO: the last holder of the slave has closed it
    }
}

void PtyServer::WriteHost() {
    while (!outgoing_.empty()) {
        const ssize_t n = write(master_, outgoing_.data(), outgoing_.size());
        if (n > 0) {
            outgoing_.erase(outgoing_.begin(), outgoing_.begin() + n);
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return;
        outgoing_.clear();  // nobody listens: the bytes are lost
        return;
    }
}

void PtyServer::DropUnread() {
    outgoing_.clear();
    const int slave = open(devicePath_.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (slave < 0) return;
    tcflush(slave, TCIFLUSH);
    close(slave);
}

bool PtyServer::ReadCommands(int& commandFd) {
    char buf[256];
    const ssize_t n = read(commandFd, buf, sizeof buf);
    if (n == 0 || (n < 0 && errno != EINTR && errno != EAGAIN)) {
        commandFd = -1;  // end of input: keep serving
        return false;
    }
    if (n < 0) return false;
    commandText_.append(buf, static_cast<size_t>(n));
    size_t end;
    while ((end = commandText_.find('\n')) != std::string::npos) {
        const std::string line = Trim(commandText_.substr(0, end));
        commandText_.erase(0, end + 1);
        if (line == "quit") return true;
        TakeLine(line);
    }
    return false;
}

void PtyServer::BuryWhenRead(int64_t nowUs) {
    if (master_ < 0 || !writer_.Dead()) return;
    if (buryByUs_ < 0) {
        diedUs_ = nowUs;
        buryByUs_ = nowUs + kBuryAfterUs;
        // A host that took the device exclusively keeps us out: it gets the time.
        if (held_) lingerFd_ = open(devicePath_.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    }
    int queued = 0;
    const bool unread = held_ && (!outgoing_.empty() || lingerFd_ < 0 || nowUs < diedUs_ + kSettleUs ||
                                  ioctl(lingerFd_, FIONREAD, &queued) != 0 || queued > 0);
    if (unread && nowUs < buryByUs_) return;
    if (lingerFd_ >= 0) close(lingerFd_);
    lingerFd_ = -1;
    close(master_);
    master_ = -1;
    held_ = false;
    outgoing_.clear();
    if (goneHandler_) goneHandler_();
}

void PtyServer::TakeFaultLine(const std::string& rule) {
    std::string error;
    if (writer_.AddFault(rule, error))
        std::cout << "fault added: " << rule << std::endl;
    else
        std::cerr << "writer-emulator: bad fault \"" << rule << "\": " << error << std::endl;
}

void PtyServer::TakeLine(const std::string& line) {
    if (line.empty()) return;
    if (line == "status") {
        std::cout << SocketStatus(writer_) << std::endl;
        return;
    }
    if (line == "fault clear") {
        writer_.ClearFaults();
        std::cout << "faults cleared" << std::endl;
        return;
    }
    if (line.rfind("fault ", 0) == 0) {
        TakeFaultLine(Trim(line.substr(6)));
        return;
    }
    // Where the writer's rolling-code counter stands: set back, the writer
    // gives a code it gave before, as a writer whose counter was reset would.
    if (line.rfind("rolling-code ", 0) == 0) {
        if (const auto next = ParseRollingCode(Trim(line.substr(13)))) {
            writer_.Socket().SetNextRollingCode(*next);
            std::cout << SocketStatus(writer_) << std::endl;
            return;
        }
    }
    if (line.rfind("ic ", 0) == 0) {
        if (const auto kind = ParseIcKind(Trim(line.substr(3)))) {
            PutInSocket(writer_, *kind);
            std::cout << SocketStatus(writer_) << std::endl;
            return;
        }
    }
    std::cerr << "writer-emulator: unknown line \"" << line << "\" (ic " << kIcKindList
              << ", rolling-code HEX, status, fault RULE, fault clear, quit)"
              << std::endl;
}

void PtyServer::Serve(int commandFd, int stopFd) {
    for (;;) {
        const int64_t nowUs = NowUs();
        const bool held = master_ >= 0 && ReadHost(nowUs);
        if (held_ && !held) DropUnread();
        held_ = held;
        const std::vector<uint8_t> due = writer_.TakeReplies(nowUs);
        if (held) {
            outgoing_.insert(outgoing_.end(), due.begin(), due.end());
            WriteHost();
        }
        BuryWhenRead(nowUs);

        int64_t waitUs = kMaxWaitUs;
        if (master_ < 0) {
            // the device is gone: only the command lines and the stop are left
        } else if (!held_) {
            waitUs = kUnheldPollUs;
        } else if (const auto next = writer_.NextEventUs()) {
            waitUs = std::clamp<int64_t>(*next - NowUs(), 0, kMaxWaitUs);
        }
        // While the line carries a byte, the host's next ones are not taken.
        const int64_t lineFreeUs = writer_.HostLineFreeUs();
        const bool lineBusy = pacing_ && lineFreeUs > NowUs();
        if (held_ && lineBusy) waitUs = std::clamp<int64_t>(lineFreeUs - NowUs(), 0, waitUs);
        pollfd fds[3];
        nfds_t count = 0;
        int commandIndex = -1;
        if (held_) {
            const short events = static_cast<short>((lineBusy ? 0 : POLLIN) | (outgoing_.empty() ? 0 : POLLOUT));
            fds[count++] = {master_, events, 0};
        }
        if (commandFd >= 0) {
            commandIndex = static_cast<int>(count);
            fds[count++] = {commandFd, POLLIN, 0};
        }
        const int stopIndex = static_cast<int>(count);
        if (stopFd >= 0) fds[count++] = {stopFd, POLLIN, 0};
        const int ready = poll(fds, count, static_cast<int>((waitUs + 999) / 1000));
        if (ready > 0 && stopFd >= 0 && (fds[stopIndex].revents & POLLIN)) return;
        if (ready > 0 && commandIndex >= 0 &&
            (fds[commandIndex].revents & (POLLIN | POLLHUP | POLLERR))) {
            if (ReadCommands(commandFd)) return;
        }
    }
}

}  // namespace otp::emu
