// The console front end driving writer-emulator through a pseudo-terminal
// and the real serial code, in real time.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

#include "EmulatorOnPty.h"
#include "WireRequests.h"

using namespace otp::test;

namespace {

class EndToEndTest : public EmulatorOnPtyTest {
protected:
    // writer-emulator's options besides --link.
    virtual std::vector<std::string> EmulatorOptions() const { return {}; }

    void SetUp() override {
        StartEmulator(EmulatorOptions());
        if (HasFatalFailure()) return;
        dir.Write("Writer.ini",
                  "VERSION 12071000 V5.00\r\nRS232_PORT COM1\r\nWRITER_DRIVER ..\\writer.bin\r\n"
                  "IC_BODY_START\r\nBODY RX4400\r\nINFO $A5,0,0,0,$80,0,4,0,$80,0,0,0,0,0,0,0\r\nIC_BODY_END\r\n");
    }
};

// The same writer without line time, so never busy. writer-emulator stamps a
// byte with the moment it reads it and carries it over the line from then
// on; on a busy machine it reads a long stream in late batches, each queued
// behind the one before, and sees the stream end hundreds of ms after it
// did. A store timed from that end outlasts the host's wait, which covers
// the real one: that race is tested on test time (UpdateWriterTest).
class EndToEndWithoutLineTimeTest : public EndToEndTest {
protected:
    std::vector<std::string> EmulatorOptions() const override { return {"--no-pacing"}; }
};


}  // namespace

TEST_F(EndToEndTest, StartUpAndVersionOverTheSerialLine) {
    const CliRun r = Cli("version");
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_TRUE(HasLine(r.out, "COM1 Connect OK !!!")) << r.out;
    EXPECT_TRUE(HasLine(r.out, "Version : 12071000")) << r.out;
    EXPECT_TRUE(HasLine(r.out, "Receiver Data Length = 1024 bytes")) << r.out;
}

// A writer still answering an earlier host when the next run opens the port
// (a stopped run, or bytes an adapter kept): the start-up waits for the line
// to go quiet, throws away what came, passes, and says so.
TEST_F(EndToEndTest, BytesAWriterStillSendsWhenARunStartsAreThrownAway) {
    // 4000 bytes instead of the answer: more than 4 s of line, however
    // late the next run starts on a busy machine.
    emulator.Say("fault W#1:flood=4000\n");
    ASSERT_EQ(emulator.ReadLine(), "fault added: W#1:flood=4000");
    const int fd = open(link.c_str(), O_RDWR | O_NOCTTY);
    ASSERT_GE(fd, 0);
    const std::vector<uint8_t> request = BlockReadRequest(0x0400, 8);
    ASSERT_EQ(write(fd, request.data(), request.size()), static_cast<ssize_t>(request.size()));
    pollfd answer{fd, POLLIN, 0};
    EXPECT_EQ(poll(&answer, 1, 5000), 1);
    close(fd);  // the earlier host leaves while the writer still sends
    const CliRun r = Cli("version");
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_TRUE(HasLine(r.out, "COM1 Connect OK !!!")) << r.out;
    EXPECT_TRUE(HasLine(r.out, "Version : 12071000")) << r.out;
    EXPECT_EQ(r.verdict.rfind("PASS: ", 0), 0u) << r.out;
    EXPECT_NE(r.verdict.find(" bytes were on the line before the first request (a previous run's writer still "
                             "answering, or kept by the adapter): thrown away"),
              std::string::npos)
        << r.out;
}

TEST_F(EndToEndTest, TracedVersionQuery) {
    const CliRun r = Cli("--trace version");
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_TRUE(r.Has("AppendLine RichEdit1 0000: A5 00 99 0D 80 00 04 00 80 00 00 00 00 00 00 00 ")) << r.out;
    EXPECT_TRUE(r.Has("AppendLine RichEdit2 COM1 Connect OK !!!")) << r.out;
    ASSERT_GE(r.lines.size(), 3u);
    EXPECT_EQ(std::vector<std::string>(r.lines.end() - 3, r.lines.end()),
              (std::vector<std::string>{"ClearPane RichEdit2", "AppendLine RichEdit2 Version : 12071000",
                                        "AppendLine RichEdit2 Receiver Data Length = 8 bytes"}));
    EXPECT_EQ(r.verdict, "PASS");
}

TEST_F(EndToEndTest, MissingDeviceGivesTheOpenErrorBox) {
    const CliRun r = RunCliProgram(dir.path(), dir.file("no-such-tty"), "version");
    EXPECT_EQ(r.status, 1) << r.out;
    EXPECT_EQ(r.lines.front(), "ERROR: RS232 open error!!!") << r.out;
    // The box's second line: the device and why it would not open.
    EXPECT_TRUE(r.Has(dir.file("no-such-tty") + ": No such file or directory")) << r.out;
    EXPECT_TRUE(r.Has("COM1 Connect Error (1)!!!")) << r.out;
    EXPECT_EQ(r.lines.back(), "otpwriter-cli: no writer answered at start-up; not run: version") << r.out;
    EXPECT_EQ(r.verdict, "FAIL: ERROR: RS232 open error!!!");
}

TEST_F(EndToEndWithoutLineTimeTest, FirmwareUpdateThenTheNewVersion) {
    std::string firmware(1024 + 64, '\x5A');
    const char digits[] = {1, 2, 0, 7, 1, 0, 0, 2};
    for (int i = 0; i < 8; ++i) firmware[static_cast<size_t>(1024 + i)] = digits[i];
    dir.Write("writer.bin", firmware);

    const CliRun r = Cli("--yes update version");
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_TRUE(HasLine(r.out, "Total send 64 bytes")) << r.out;
    EXPECT_TRUE(HasLine(r.out, "Receiver Data Length = 64 bytes")) << r.out;
    EXPECT_EQ(r.out.find("--"), std::string::npos) << r.out;  // no mismatch line
    EXPECT_TRUE(HasLine(r.out, "Version : 12071002")) << r.out;

    // The next start finds the new version and says so.
    const CliRun again = Cli("");
    EXPECT_TRUE(HasLine(again.out,
                        "Writer driver version [12071002] & inifile version [12071000] no match !!!"))
        << again.out;
}

TEST_F(EndToEndTest, NoAtTheConfirmationSendsNothing) {
    dir.Write("writer.bin", std::string(2048, '\x11'));
    const CliRun r = Cli("--keep-going update version");
    EXPECT_EQ(r.status, 1) << r.out;
    EXPECT_TRUE(HasLine(r.out, "Confirm: Are you really to update the writer? -> no (--yes answers yes)")) << r.out;
    EXPECT_TRUE(HasLine(r.out, "Version : 12071000")) << r.out;
}
