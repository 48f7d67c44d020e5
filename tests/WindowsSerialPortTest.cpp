// The Win32 serial port (Windows builds only): the devices port names stand
// for, the open's failures, and on a real line (scripts/test-windows maps a
// COM port to writer-emulator's pty and names it in OTPWRITER_TEST_LINE and
// OTPWRITER_TEST_STALLED_LINE, and while the writer answers
// OTPWRITER_TEST_ANSWERING_LINE) exclusive use, reads that never wait, a
// wait that wakes on the answer, and bounded writes on a line that takes
// nothing.
#include <gtest/gtest.h>
#include <windows.h>

#include <chrono>
#include <cstdlib>
#include <cstring>

#include "TestSupport.h"
#include "link/PortLink.h"
#include "link/SystemSerialPort.h"

using namespace otp;

namespace {

void SetVariable(const char* name, const std::string& value) { _putenv_s(name, value.c_str()); }

// Wine, which runs these tests on Linux, keeps its serial ports open to a
// second opener; Windows' serial drivers refuse one.
bool UnderWine() {
    const HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    return ntdll && GetProcAddress(ntdll, "wine_get_version");
}

}  // namespace

TEST(WindowsSerialPort, PortNamesMapToDevices) {
    SetVariable("OTPWRITER_COM1", "");
    const struct {
        std::string name, device;
    } rows[] = {
        {"COM1", "\\\\.\\COM1"}, {"COM4", "\\\\.\\COM4"}, {"COM5", ""},
        {"COM0", ""},            {"COM10", ""},           {"LPT1", ""},
        {"com1", ""},            {"", ""},
    };
    for (const auto& row : rows) EXPECT_EQ(DeviceForPort(row.name), row.device) << row.name;
    SetVariable("OTPWRITER_COM1", "\\\\.\\COM7");
    EXPECT_EQ(DeviceForPort("COM1"), "\\\\.\\COM7");
    SetVariable("OTPWRITER_COM1", "");
}

// What the open asks the driver for, whatever it reported: raw 9600 8N1, no
// byte replaced or dropped, no stop on a line error, DTR and RTS on, DSR
// ignored; CTS flow control kept.
TEST(WindowsSerialPort, TheLineIsAskedForRawBytes) {
    DCB none{}, every{};
    std::memset(&every, 0xFF, sizeof every);
    for (const DCB& had : {none, every}) {
        SCOPED_TRACE(had.fErrorChar ? "every flag set" : "no flag set");
        DCB dcb = had;
        MakeLineRaw(dcb);
        EXPECT_EQ(dcb.BaudRate, DWORD{CBR_9600});
        EXPECT_EQ(dcb.ByteSize, 8);
        EXPECT_EQ(dcb.Parity, NOPARITY);
        EXPECT_EQ(dcb.StopBits, ONESTOPBIT);
        EXPECT_EQ(dcb.fBinary, 1u);
        const struct {
            const char* name;
            DWORD value;
        } off[] = {{"fParity", dcb.fParity}, {"fOutX", dcb.fOutX}, {"fInX", dcb.fInX},
                   {"fErrorChar", dcb.fErrorChar}, {"fNull", dcb.fNull}, {"fAbortOnError", dcb.fAbortOnError}};
        for (const auto& flag : off) EXPECT_EQ(flag.value, 0u) << flag.name;
        EXPECT_EQ(dcb.fOutxCtsFlow, had.fOutxCtsFlow);
        EXPECT_EQ(dcb.fOutxDsrFlow, 0u);
        EXPECT_EQ(dcb.fDsrSensitivity, 0u);
        EXPECT_EQ(dcb.fDtrControl, DWORD{DTR_CONTROL_ENABLE});
        EXPECT_EQ(dcb.fRtsControl, DWORD{RTS_CONTROL_ENABLE});
    }
}

// A drain during which the line had a break, a framing or parity error or an
// overrun yields no answer: the driver keeps such bytes (a break as a 00).
TEST(WindowsSerialPort, ALineErrorSpoilsTheAnswer) {
    const struct {
        DWORD errors;
        bool spoiled;
    } rows[] = {
        {0, false},          {CE_BREAK, true},    {CE_FRAME, true},
        {CE_RXPARITY, true}, {CE_OVERRUN, true},  {CE_TXFULL, false},
        {CE_FRAME | CE_TXFULL, true},
    };
    for (const auto& row : rows) EXPECT_EQ(LineErrorsSpoilAnswer(row.errors), row.spoiled) << std::hex << row.errors;
}

// A port that will not open says why in Windows' words, with a hint of its
// own for the usual reasons, and never the hint of a Linux user's groups.
TEST(WindowsSerialPort, DevicesThatAreNoSerialPortFailTheOpenAndSayWhy) {
    test::TempDir dir;
    dir.Write("plain.txt", "no port");
    dir.Write("held.txt", "held");
    // Another program holds this one open for itself.
    const HANDLE held = CreateFileA(dir.file("held.txt").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    const struct {
        std::string device;
        OpenResult result;
        std::string hint;
    } rows[] = {
        {dir.file("missing\\device"), OpenResult::OpenError, "(no such port: "},
        {dir.file("held.txt"), OpenResult::OpenError, "(the port is open in another program: close it there)"},
        {dir.file("plain.txt"), OpenResult::SettingError, ""},
        {"NUL", OpenResult::SettingError, ""},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.device);
        SetVariable("OTPWRITER_COM3", row.device);
        SystemPortOpener opener;
        std::unique_ptr<SerialPort> port;
        EXPECT_EQ(opener.Open("COM3", port), row.result);
        EXPECT_FALSE(port);
        const OpenFailure failure = opener.LastFailure();
        EXPECT_EQ(failure.device, row.device);
        EXPECT_FALSE(failure.reason.empty());
        EXPECT_NE(failure.reason.find(row.hint), std::string::npos) << failure.reason;
        const std::string box = OpenErrorText(row.result, failure);
        EXPECT_NE(box.find(row.device + ": " + failure.reason), std::string::npos) << box;
        EXPECT_EQ(box.find("usermod"), std::string::npos) << box;
    }
    CloseHandle(held);
    SetVariable("OTPWRITER_COM3", "");
}

TEST(WindowsSerialPortOnALine, OpenIsExclusiveAndReadsNeverWait) {
    const char* line = std::getenv("OTPWRITER_TEST_LINE");
    if (!line || !*line) GTEST_SKIP() << "no COM port with a writer on it (OTPWRITER_TEST_LINE)";
    SystemPortOpener opener;
    std::unique_ptr<SerialPort> port, second;
    ASSERT_EQ(opener.Open(line, port), OpenResult::Ok) << DeviceForPort(line);
    if (!UnderWine()) {
        EXPECT_EQ(opener.Open(line, second), OpenResult::OpenError);
        EXPECT_FALSE(second);
    }

    // A quiet line: nothing to take or throw away, at once.
    const auto start = std::chrono::steady_clock::now();
    EXPECT_TRUE(port->TakeArrived().empty());
    EXPECT_FALSE(port->DiscardInput());
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(250));

    // Closed, the port can be opened again.
    port.reset();
    EXPECT_EQ(opener.Open(line, second), OpenResult::Ok);
}

TEST(WindowsSerialPortOnALine, ALineThatStopsTakingBytesFailsTheWriteAndClosesAtOnce) {
    // A COM port whose far end takes nothing, as with flow control held
    // (scripts/test-windows stops writer-emulator behind one).
    const char* line = std::getenv("OTPWRITER_TEST_STALLED_LINE");
    if (!line || !*line) GTEST_SKIP() << "no COM port whose far end has stopped (OTPWRITER_TEST_STALLED_LINE)";
    SystemPortOpener opener;
    std::unique_ptr<SerialPort> port;
    ASSERT_EQ(opener.Open(line, port), OpenResult::Ok) << DeviceForPort(line);
    const auto start = std::chrono::steady_clock::now();
    int taken = 0;
    while (taken < 1000000 && port->WriteByte(0x6D)) ++taken;
    const auto stalled = std::chrono::steady_clock::now();
    EXPECT_GT(taken, 0);
    EXPECT_LT(taken, 1000000);  // the queue filled and the write gave up
    EXPECT_LT(stalled - start, std::chrono::seconds(60));
    EXPECT_FALSE(port->WriteByte(0x6D));  // and it stays given up, at once
    VirtualPacer pacer;
    EXPECT_FALSE(port->WaitSent(pacer));
    EXPECT_LT(std::chrono::steady_clock::now() - stalled, std::chrono::seconds(1));
    port.reset();  // closing does not wait for what cannot leave
    EXPECT_LT(std::chrono::steady_clock::now() - stalled, std::chrono::seconds(2));
}

// A wait on the port sleeps until the writer's answer comes or its time is
// out; the byte it woke on comes first in the drain, with the rest.
TEST(WindowsSerialPortOnALine, AWaitWakesOnTheAnswerAndLeavesItForTheDrain) {
    const char* line = std::getenv("OTPWRITER_TEST_ANSWERING_LINE");
    if (!line || !*line) GTEST_SKIP() << "no COM port with an answering writer on it (OTPWRITER_TEST_ANSWERING_LINE)";
    const struct {
        const char* name;
        bool ask;  // the 8 version bytes are asked for
        int waitMs;
    } rows[] = {
        {"a quiet line", false, 300},
        {"the version bytes asked", true, 10000},
    };
    SystemPortOpener opener;
    std::unique_ptr<SerialPort> port;
    ASSERT_EQ(opener.Open(line, port), OpenResult::Ok) << DeviceForPort(line);
    ASSERT_NE(port->Wake(), nullptr);
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        port->DiscardInput();
        if (row.ask)
            for (const uint8_t b : {0x57, 0x01, 0x00, 0x04, 0x08, 0x00, 0x00, 0x00}) port->WriteByte(b);
        RealPacer pacer;
        const int64_t start = pacer.NowMs();
        const bool woke = pacer.SleepUntilArrival(start + row.waitMs, port->Wake());
        const int64_t took = pacer.NowMs() - start;
        EXPECT_EQ(woke, row.ask);
        if (!row.ask) {
            EXPECT_GE(took, row.waitMs - 1);
            EXPECT_TRUE(port->TakeArrived().empty());
            continue;
        }
        EXPECT_LT(took, row.waitMs / 2);
        // The rest of the answer is on the line within its line time.
        std::vector<uint8_t> got;
        for (int i = 0; i < 100 && got.size() < 8; ++i) {
            const std::vector<uint8_t> more = port->TakeArrived();
            got.insert(got.end(), more.begin(), more.end());
            Sleep(10);
        }
        EXPECT_EQ(got.size(), 8u);
    }
}
