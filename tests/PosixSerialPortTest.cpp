#include <gtest/gtest.h>

#include <errno.h>
#include <fcntl.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <thread>
#include <vector>

#include "link/PosixSerialPort.h"

using namespace otp;

namespace {

// The master side of a pseudo-terminal whose slave the host opens as COM2.
class PtyPair {
public:
    PtyPair() {
        master_ = posix_openpt(O_RDWR | O_NOCTTY);
        if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0) return;
        slave_ = ptsname(master_);
        setenv("OTPWRITER_COM2", slave_.c_str(), 1);
    }
    ~PtyPair() {
        CloseMaster();
        unsetenv("OTPWRITER_COM2");
    }
    void CloseMaster() {
        if (master_ >= 0) close(master_);
        master_ = -1;
    }
    bool ok() const { return master_ >= 0 && !slave_.empty(); }
    int master() const { return master_; }
    const std::string& slave() const { return slave_; }

private:
    int master_ = -1;
    std::string slave_;
};

}  // namespace

TEST(PosixSerialPort, PortNamesMapToDevices) {
    unsetenv("OTPWRITER_COM1");
    EXPECT_EQ(DeviceForPort("COM1"), "/dev/ttyS0");
    EXPECT_EQ(DeviceForPort("COM4"), "/dev/ttyS3");
    setenv("OTPWRITER_COM1", "/dev/ttyUSB0", 1);
    EXPECT_EQ(DeviceForPort("COM1"), "/dev/ttyUSB0");
    unsetenv("OTPWRITER_COM1");
    EXPECT_EQ(DeviceForPort(""), "");
    EXPECT_EQ(DeviceForPort("LPT1"), "");
}

// The line's errors are no data: whatever the tty had, a break is ignored
// and a byte with a framing or parity error is dropped (Linux drops it only
// with INPCK as well as IGNPAR), never read as a 00 or marked; the line is
// raw 9600 8N1 with its hardware flow control and modem lines kept.
TEST(PosixSerialPort, TheLineDropsBreaksAndBytesWithErrors) {
    termios zero{}, every{}, cooked{};
    every.c_iflag = every.c_oflag = every.c_cflag = every.c_lflag = ~tcflag_t{0};
    cooked.c_iflag = ICRNL | IXON | BRKINT | PARMRK | INPCK;
    cooked.c_cflag = CS7 | PARENB | CREAD | HUPCL;
    cooked.c_lflag = ICANON | ECHO | ISIG;
    for (const termios& had : {zero, every, cooked}) {
        SCOPED_TRACE(::testing::Message() << std::hex << "iflag " << had.c_iflag << " cflag " << had.c_cflag);
        termios tio = had;
        ASSERT_TRUE(MakeLineRaw(tio));
        for (const tcflag_t on : {IGNBRK, IGNPAR, INPCK}) EXPECT_EQ(tio.c_iflag & on, on) << std::hex << on;
        for (const tcflag_t off : {BRKINT, PARMRK, ISTRIP, INLCR, IGNCR, ICRNL, IXON})
            EXPECT_EQ(tio.c_iflag & off, 0u) << std::hex << off;
        EXPECT_EQ(tio.c_cflag & (CSIZE | PARENB | CSTOPB | CREAD), tcflag_t{CS8 | CREAD});
        EXPECT_EQ(tio.c_cflag & (CRTSCTS | CLOCAL | HUPCL), had.c_cflag & (CRTSCTS | CLOCAL | HUPCL));
        EXPECT_EQ(tio.c_lflag & (ICANON | ECHO | ISIG | IEXTEN), 0u);
        EXPECT_EQ(tio.c_oflag & OPOST, 0u);
        EXPECT_EQ(cfgetispeed(&tio), speed_t{B9600});
        EXPECT_EQ(cfgetospeed(&tio), speed_t{B9600});
        EXPECT_EQ(tio.c_cc[VMIN], 0);
        EXPECT_EQ(tio.c_cc[VTIME], 0);
    }
}

TEST(PosixSerialPort, MissingDeviceIsAnOpenError) {
    setenv("OTPWRITER_COM3", "/nonexistent/tty", 1);
    PosixPortOpener opener;
    std::unique_ptr<SerialPort> port;
    EXPECT_EQ(opener.Open("COM3", port), OpenResult::OpenError);
    EXPECT_FALSE(port);
    EXPECT_EQ(opener.Open("", port), OpenResult::OpenError);
    unsetenv("OTPWRITER_COM3");
}

TEST(PosixSerialPort, NonTerminalIsASettingError) {
    setenv("OTPWRITER_COM3", "/dev/null", 1);
    PosixPortOpener opener;
    std::unique_ptr<SerialPort> port;
    EXPECT_EQ(opener.Open("COM3", port), OpenResult::SettingError);
    unsetenv("OTPWRITER_COM3");
}

// A failed open tells the device it tried and why it failed.
TEST(PosixSerialPort, AFailedOpenTellsTheDeviceAndTheReason) {
    PtyPair pty;  // COM2, held open by a first port in one case
    ASSERT_TRUE(pty.ok());
    const struct {
        const char* name;
        const char* com3;  // OTPWRITER_COM3
        std::string port;
        OpenResult result;
        std::string device;
        int error;
        bool ownReason;  // the opener's own words rather than the system's
    } cases[] = {
        {"a missing device", "/nonexistent/tty", "COM3", OpenResult::OpenError, "/nonexistent/tty", ENOENT, false},
        {"a folder", "/", "COM3", OpenResult::OpenError, "/", EISDIR, false},
        {"no terminal", "/dev/null", "COM3", OpenResult::SettingError, "/dev/null", ENOTTY, false},
        // Root passes the terminal's exclusive mode and meets the lock.
        {"a port taken by another", nullptr, "COM2", OpenResult::OpenError, pty.slave(),
         geteuid() == 0 ? EWOULDBLOCK : EBUSY, geteuid() == 0},
        {"no port name", nullptr, "LPT1", OpenResult::OpenError, "LPT1", 0, true},
        {"a port the program does not know", nullptr, "COM9", OpenResult::OpenError, "COM9", 0, true},
    };
    PosixPortOpener opener;
    std::unique_ptr<SerialPort> held;
    ASSERT_EQ(opener.Open("COM2", held), OpenResult::Ok);
    EXPECT_EQ(opener.LastFailure().device, "");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.com3) setenv("OTPWRITER_COM3", c.com3, 1);
        std::unique_ptr<SerialPort> port;
        EXPECT_EQ(opener.Open(c.port, port), c.result);
        EXPECT_FALSE(port);
        const OpenFailure f = opener.LastFailure();
        EXPECT_EQ(f.device, c.device);
        EXPECT_EQ(f.error, c.error);
        EXPECT_EQ(!f.reason.empty(), c.ownReason) << f.reason;
        unsetenv("OTPWRITER_COM3");
    }
    held.reset();
    std::unique_ptr<SerialPort> port;
    ASSERT_EQ(opener.Open("COM2", port), OpenResult::Ok);
    EXPECT_EQ(opener.LastFailure().device, "");  // a success forgets the last failure
}

TEST(PosixSerialPort, BytesPassUntouchedAndWholeBlocksAreDrained) {
    PtyPair pty;
    ASSERT_TRUE(pty.ok());
    PosixPortOpener opener;
    std::unique_ptr<SerialPort> port;
    ASSERT_EQ(opener.Open("COM2", port), OpenResult::Ok);

    // Every byte value goes out as one byte, with no translation.
    for (int b = 0; b < 256; ++b) port->WriteByte(static_cast<uint8_t>(b));
    std::vector<uint8_t> got;
    for (int tries = 0; tries < 200 && got.size() < 256; ++tries) {
        uint8_t buf[512];
        const ssize_t n = read(pty.master(), buf, sizeof buf);
        if (n > 0) got.insert(got.end(), buf, buf + n);
        else std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    ASSERT_EQ(got.size(), 256u);
    for (int b = 0; b < 256; ++b) ASSERT_EQ(got[static_cast<size_t>(b)], b);

    // A tty reports at most 4095 waiting bytes while more sit behind them.
    std::vector<uint8_t> block(4096);
    for (size_t i = 0; i < block.size(); ++i) block[i] = static_cast<uint8_t>(i * 31);
    ASSERT_EQ(write(pty.master(), block.data(), block.size()), 4096);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(port->TakeArrived(), block);
    EXPECT_TRUE(port->TakeArrived().empty());  // never waits for more
}

TEST(PosixSerialPort, OpenIsExclusive) {
    PtyPair pty;
    ASSERT_TRUE(pty.ok());
    PosixPortOpener opener;
    std::unique_ptr<SerialPort> first, second;
    ASSERT_EQ(opener.Open("COM2", first), OpenResult::Ok);
    EXPECT_EQ(opener.Open("COM2", second), OpenResult::OpenError);
    first.reset();
    EXPECT_EQ(opener.Open("COM2", second), OpenResult::Ok);
}

TEST(PosixSerialPort, VanishedDeviceNeitherCrashesNorHangs) {
    PtyPair pty;
    ASSERT_TRUE(pty.ok());
    PosixPortOpener opener;
    std::unique_ptr<SerialPort> port;
    ASSERT_EQ(opener.Open("COM2", port), OpenResult::Ok);
    pty.CloseMaster();  // the far end is gone, as when an adapter is pulled
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < 100; ++i) port->WriteByte(0x57);
    EXPECT_TRUE(port->TakeArrived().empty());
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
}

TEST(PosixSerialPort, ALineThatStopsTakingBytesFailsTheWriteAndClosesAtOnce) {
    PtyPair pty;  // the far end never reads, as with flow control held
    ASSERT_TRUE(pty.ok());
    PosixPortOpener opener;
    std::unique_ptr<SerialPort> port;
    ASSERT_EQ(opener.Open("COM2", port), OpenResult::Ok);
    const auto start = std::chrono::steady_clock::now();
    int taken = 0;
    while (taken < 1000000 && port->WriteByte(0x6D)) ++taken;
    const auto stalled = std::chrono::steady_clock::now();
    EXPECT_GT(taken, 0);
    EXPECT_LT(taken, 1000000);  // the queue filled and the write gave up
    // The limit is a couple of seconds; a loaded machine may add to it.
    EXPECT_LT(stalled - start, std::chrono::seconds(30));
    EXPECT_FALSE(port->WriteByte(0x6D));  // and it stays given up, at once
    VirtualPacer pacer;
    EXPECT_FALSE(port->WaitSent(pacer));
    EXPECT_LT(std::chrono::steady_clock::now() - stalled, std::chrono::seconds(1));
    port.reset();  // closing does not wait for what cannot leave
    EXPECT_LT(std::chrono::steady_clock::now() - stalled, std::chrono::seconds(2));
}

// A wait on the port sleeps until a byte comes or its time is out, and takes
// nothing: the drain after it finds the byte. A port whose far end has gone
// sleeps its time out instead of waking at once, again and again.
TEST(PosixSerialPort, AWaitWakesOnAByteAndLeavesItForTheDrain) {
    constexpr int kNever = -1;
    constexpr int kBefore = 0;
    const struct {
        const char* name;
        int byteAfterMs;  // when the far end writes a byte: kBefore the wait, or kNever
        bool farEndGone;
        int waitMs;
        bool woke;
    } rows[] = {
        {"a byte 50 ms into the wait", 50, false, 10000, true},
        {"a byte already there", kBefore, false, 10000, true},
        {"a quiet line", kNever, false, 150, false},
        {"the far end gone", kNever, true, 150, false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        PtyPair pty;
        ASSERT_TRUE(pty.ok());
        PosixPortOpener opener;
        std::unique_ptr<SerialPort> port;
        ASSERT_EQ(opener.Open("COM2", port), OpenResult::Ok);
        ASSERT_NE(port->Wake(), nullptr);
        const uint8_t byte = 0xA7;
        if (row.byteAfterMs == kBefore) {
            ASSERT_EQ(write(pty.master(), &byte, 1), 1);
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        if (row.farEndGone) pty.CloseMaster();
        std::thread farEnd;
        if (row.byteAfterMs > 0)
            farEnd = std::thread([&] {
                std::this_thread::sleep_for(std::chrono::milliseconds(row.byteAfterMs));
                (void)!write(pty.master(), &byte, 1);
            });
        RealPacer pacer;
        const int64_t start = pacer.NowMs();
        const bool woke = pacer.SleepUntilArrival(start + row.waitMs, port->Wake());
        const int64_t took = pacer.NowMs() - start;
        if (farEnd.joinable()) farEnd.join();
        EXPECT_EQ(woke, row.woke);
        // Generous bounds: a loaded machine wakes late, never early.
        if (row.woke) {
            EXPECT_GE(took, std::max(row.byteAfterMs - 1, 0));
            EXPECT_LT(took, row.waitMs / 2);
            EXPECT_EQ(port->TakeArrived(), std::vector<uint8_t>{byte});
        } else {
            EXPECT_GE(took, row.waitMs - 1);
            EXPECT_TRUE(port->TakeArrived().empty());
        }
    }
}
