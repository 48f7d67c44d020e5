// The writer-emulator program: a writer box on a pseudo-terminal, driven
// through the device as a host drives a serial port, in real time.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "ChildProcess.h"
#include "WireRequests.h"
#include "emulator/WriterEmulator.h"

using otp::test::BlockReadRequest;

namespace {


using otp::test::Bytes;
using otp::test::Clock;
using otp::test::MsSince;
using otp::test::ReadBytes;

const char kProgram[] = OTP_BINARY_DIR "/writer-emulator";
const Bytes kFactoryVersion = {0x01, 0x02, 0x00, 0x07, 0x01, 0x00, 0x00, 0x00};

class EmulatorProcess : public otp::test::ChildProcess {
public:
    bool Start(const std::vector<std::string>& args, bool captureErrors = false) {
        return ChildProcess::Start(kProgram, args, captureErrors);
    }
};


std::string MakeTempDir() {
    std::string pattern = testing::TempDir() + "otpemuXXXXXX";
    std::vector<char> buf(pattern.begin(), pattern.end());
    buf.push_back('\0');
    const char* dir = mkdtemp(buf.data());
    return dir ? dir : "";
}

void WriteFile(const std::string& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

Bytes ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void WriteBytes(int fd, const Bytes& bytes) {
    ASSERT_EQ(write(fd, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
}

// Opens the device as the host opens its port: raw, 9600 8N1. With
// `configure` false the line is used as the pty hands it over.
int OpenLine(const std::string& path, bool configure = true) {
    const int fd = open(path.c_str(), O_RDWR | O_NOCTTY);
    if (fd < 0 || !configure) return fd;
    termios tio{};
    tcgetattr(fd, &tio);
    cfmakeraw(&tio);
    tio.c_cflag |= CLOCAL | CREAD;
    cfsetispeed(&tio, B9600);
    cfsetospeed(&tio, B9600);
    tcsetattr(fd, TCSANOW, &tio);
    return fd;
}

std::string LinkTarget(const std::string& link) {
    char buf[PATH_MAX];
    const ssize_t n = readlink(link.c_str(), buf, sizeof buf - 1);
    if (n < 0) return "";
    return std::string(buf, static_cast<size_t>(n));
}

bool Exists(const std::string& path) {
    struct stat st {};
    return lstat(path.c_str(), &st) == 0;
}

// ---------------------------------------------------------------- serving

TEST(EmulatorPty, ServesEveryOpenOfTheLinkUntilQuit) {
    const std::string dir = MakeTempDir();
    ASSERT_FALSE(dir.empty());
    const std::string link = dir + "/ttyWriter";
    ASSERT_EQ(symlink("/nonexistent", link.c_str()), 0);  // a stale link is replaced

    EmulatorProcess emu;
    ASSERT_TRUE(emu.Start({"--link", link, "--no-pacing"}));
    const std::string device = emu.ReadLine();
    ASSERT_EQ(device.rfind("/dev/", 0), 0u) << device;
    EXPECT_EQ(LinkTarget(link), device);

    for (int round = 0; round < 3; ++round) {
        const int fd = OpenLine(link);
        ASSERT_GE(fd, 0) << "round " << round;
        WriteBytes(fd, BlockReadRequest(0x0400, 8));
        EXPECT_EQ(ReadBytes(fd, 8, 3000), kFactoryVersion) << "round " << round;
        EXPECT_TRUE(ReadBytes(fd, 1, 100).empty()) << "round " << round;
        close(fd);
        usleep(20000);
    }
    EXPECT_TRUE(emu.Running());

    emu.Say("quit\n");
    EXPECT_EQ(emu.WaitExit(), 0);
    EXPECT_FALSE(Exists(link));
}

TEST(EmulatorPty, TheLineIsRawEvenWhenTheHostLeavesItAlone) {
    // Control characters in both directions: a length of 0x0A in the request
    // and CR, XON, XOFF, ^C, DEL, LF, ^Z, NUL in the answer pass unchanged.
    const std::string dir = MakeTempDir();
    const std::string memory = dir + "/memory.bin";
    Bytes image(0x10000, 0xFF);
    const Bytes control = {0x0D, 0x11, 0x13, 0x03, 0x7F, 0x0A, 0x1A, 0x00, 0x04, 0x1C};
    std::copy(control.begin(), control.end(), image.begin() + 0x0400);
    WriteFile(memory, image);

    EmulatorProcess emu;
    ASSERT_TRUE(emu.Start({"--memory", memory, "--no-pacing"}));
    const std::string device = emu.ReadLine();
    const int fd = OpenLine(device, false);
    ASSERT_GE(fd, 0);
    WriteBytes(fd, BlockReadRequest(0x0400, 0x0A));
    EXPECT_EQ(ReadBytes(fd, 10, 3000), control);
    EXPECT_TRUE(ReadBytes(fd, 1, 100).empty());
    close(fd);
    emu.Signal(SIGTERM);
    EXPECT_EQ(emu.WaitExit(), 0);
}

TEST(EmulatorPty, EndOfInputDoesNotStopItButASignalDoes) {
    EmulatorProcess emu;
    ASSERT_TRUE(emu.Start({"--no-pacing"}));
    const std::string device = emu.ReadLine();
    emu.CloseInput();
    usleep(100000);
    ASSERT_TRUE(emu.Running());
    const int fd = OpenLine(device);
    ASSERT_GE(fd, 0);
    WriteBytes(fd, BlockReadRequest(0x0400, 8));
    EXPECT_EQ(ReadBytes(fd, 8, 3000), kFactoryVersion);
    close(fd);
    emu.Signal(SIGINT);
    EXPECT_EQ(emu.WaitExit(), 0);
}

TEST(EmulatorPty, AnswersLeftUnreadAreGoneAtTheNextOpen) {
    EmulatorProcess emu;
    ASSERT_TRUE(emu.Start({"--no-pacing"}));
    const std::string device = emu.ReadLine();
    int fd = OpenLine(device);
    ASSERT_GE(fd, 0);
    WriteBytes(fd, BlockReadRequest(0x0400, 8));
    pollfd answer{fd, POLLIN, 0};
    ASSERT_EQ(poll(&answer, 1, 5000), 1);  // the answer is waiting, unread
    close(fd);
    // A command line is answered after the emulator's look at the line in
    // the same round of its loop, so the second of two answers comes after
    // it has seen the device closed.
    for (int i = 0; i < 2; ++i) {
        emu.Say("status\n");
        ASSERT_EQ(emu.ReadLine().rfind("socket: ", 0), 0u);
    }
    fd = OpenLine(device);
    ASSERT_GE(fd, 0);
    EXPECT_TRUE(ReadBytes(fd, 1, 200).empty());
    WriteBytes(fd, BlockReadRequest(0x0400, 8));
    EXPECT_EQ(ReadBytes(fd, 8, 3000), kFactoryVersion);
    close(fd);
    emu.Say("quit\n");
    EXPECT_EQ(emu.WaitExit(), 0);
}

// ---------------------------------------------------------------- pacing

TEST(EmulatorPty, PacedAnswersComeAtLineSpeed) {
    EmulatorProcess emu;
    ASSERT_TRUE(emu.Start({}));
    const std::string device = emu.ReadLine();
    const int fd = OpenLine(device);
    ASSERT_GE(fd, 0);
    const auto t0 = Clock::now();
    WriteBytes(fd, BlockReadRequest(0x0400, 8));
    const Bytes got = ReadBytes(fd, 8, 3000);
    const int64_t ms = MsSince(t0);
    EXPECT_EQ(got, kFactoryVersion);
    // 8 request bytes and 8 answer bytes at 1.04 ms each.
    EXPECT_GE(ms, 16);
    EXPECT_TRUE(ReadBytes(fd, 1, 100).empty());
    close(fd);
    emu.Say("quit\n");
    EXPECT_EQ(emu.WaitExit(), 0);
}

TEST(EmulatorPty, WithoutPacingALongReadIsThereAtOnce) {
    // At line speed 4096 bytes take 4.27 s.
    EmulatorProcess emu;
    ASSERT_TRUE(emu.Start({"--no-pacing"}));
    const std::string device = emu.ReadLine();
    const int fd = OpenLine(device);
    ASSERT_GE(fd, 0);
    const auto t0 = Clock::now();
    WriteBytes(fd, BlockReadRequest(0x4000, 4096));
    const Bytes got = ReadBytes(fd, 4096, 6000);
    EXPECT_EQ(got, Bytes(4096, 0xFF));
    EXPECT_LT(MsSince(t0), 2000);
    close(fd);
    emu.Say("quit\n");
    EXPECT_EQ(emu.WaitExit(), 0);
}

// ---------------------------------------------------------------- memory files

TEST(EmulatorPty, MemoryIsLoadedFromAFileAndDumpedAtExit) {
    const std::string dir = MakeTempDir();
    const std::string memory = dir + "/memory.bin";
    const std::string dump = dir + "/dump.bin";
    Bytes image(0x10000);
    for (size_t i = 0; i < image.size(); ++i) image[i] = static_cast<uint8_t>(i * 31 + (i >> 8));
    const Bytes version = {0x09, 0x08, 0x07, 0x06, 0x05, 0x04, 0x03, 0x02};
    std::copy(version.begin(), version.end(), image.begin() + 0x0400);
    WriteFile(memory, image);

    EmulatorProcess emu;
    ASSERT_TRUE(emu.Start({"--memory", memory, "--dump", dump}));
    const std::string device = emu.ReadLine();
    const int fd = OpenLine(device);
    ASSERT_GE(fd, 0);
    WriteBytes(fd, BlockReadRequest(0x0400, 8));
    EXPECT_EQ(ReadBytes(fd, 8, 3000), version);
    // Option bytes written over the line end up in the dump.
    Bytes options = {0x77};
    for (int i = 0; i < 16; ++i) options.push_back(static_cast<uint8_t>(0xA0 + i));
    WriteBytes(fd, options);
    WriteBytes(fd, BlockReadRequest(0x7F80, 16));
    EXPECT_EQ(ReadBytes(fd, 16, 3000), Bytes(options.begin() + 1, options.end()));
    close(fd);
    emu.Signal(SIGTERM);
    ASSERT_EQ(emu.WaitExit(), 0);

    Bytes expected = image;
    std::copy(options.begin() + 1, options.end(), expected.begin() + 0x7F80);
    // with the checksum the writer keeps of what it holds
    otp::emu::WriterEmulator keeper;
    keeper.LoadMemory(expected);
    keeper.KeepChecksum();
    expected.assign(keeper.Memory().begin(), keeper.Memory().end());
    const Bytes dumped = ReadFile(dump);
    ASSERT_EQ(dumped.size(), 65536u);
    EXPECT_EQ(dumped, expected);
}

TEST(EmulatorPty, AShortMemoryFileKeepsTheFactoryContentsBeyondIt) {
    const std::string dir = MakeTempDir();
    const std::string memory = dir + "/memory.bin";
    const std::string dump = dir + "/dump.bin";
    WriteFile(memory, Bytes(0x100, 0x42));

    EmulatorProcess emu;
    ASSERT_TRUE(emu.Start({"--memory", memory, "--dump", dump, "--no-pacing"}));
    EXPECT_FALSE(emu.ReadLine().empty());
    emu.Say("quit\n");
    ASSERT_EQ(emu.WaitExit(), 0);
    const Bytes dumped = ReadFile(dump);
    ASSERT_EQ(dumped.size(), 65536u);
    EXPECT_EQ(Bytes(dumped.begin(), dumped.begin() + 0x100), Bytes(0x100, 0x42));
    EXPECT_EQ(dumped[0x100], 0xFF);
    EXPECT_EQ(Bytes(dumped.begin() + 0x400, dumped.begin() + 0x408), kFactoryVersion);
    EXPECT_EQ(dumped[0x7F90], 0xA5);
}

TEST(EmulatorPty, AMemoryFileOver64KiBIsRefused) {
    const std::string dir = MakeTempDir();
    const std::string memory = dir + "/memory.bin";
    WriteFile(memory, Bytes(0x10001, 0x00));
    EmulatorProcess emu;
    ASSERT_TRUE(emu.Start({"--memory", memory}));
    EXPECT_EQ(emu.ReadAll(), "");
    EXPECT_EQ(emu.WaitExit(), 1);
}

// ---------------------------------------------------------------- faults

TEST(EmulatorPty, FaultsFromTheCommandLineAndFromStandardInputAreInjectedAndReported) {
    EmulatorProcess emu;
    ASSERT_TRUE(emu.Start({"--no-pacing", "--seed", "2", "--fault", "W#1:truncate=3"}, true));
    const int fd = OpenLine(emu.ReadLine());
    ASSERT_GE(fd, 0);
    WriteBytes(fd, BlockReadRequest(0x0400, 8));
    EXPECT_EQ(ReadBytes(fd, 8, 500), Bytes(kFactoryVersion.begin(), kFactoryVersion.begin() + 3));
    EXPECT_EQ(emu.ReadErrorLine(), "writer-emulator: fault W#1 truncate=3: answer cut from 8 to 3 bytes");

    emu.Say("fault W:corrupt=0\n");
    EXPECT_EQ(emu.ReadLine(), "fault added: W:corrupt=0");
    WriteBytes(fd, BlockReadRequest(0x0400, 8));
    Bytes corrupted = kFactoryVersion;
    corrupted[0] ^= 0xA8;  // the first random byte of seed 2
    EXPECT_EQ(ReadBytes(fd, 8, 3000), corrupted);
    EXPECT_EQ(emu.ReadErrorLine(), "writer-emulator: fault W#1 corrupt=0: answer byte 0 changed from 0x01 to 0xA9");

    emu.Say("fault W:loud\n");
    EXPECT_EQ(emu.ReadErrorLine().rfind("writer-emulator: bad fault \"W:loud\": ", 0), 0u);
    emu.Say("fault clear\n");
    EXPECT_EQ(emu.ReadLine(), "faults cleared");
    WriteBytes(fd, BlockReadRequest(0x0400, 8));
    EXPECT_EQ(ReadBytes(fd, 8, 3000), kFactoryVersion);
    close(fd);
    emu.Say("quit\n");
    EXPECT_EQ(emu.WaitExit(), 0);
}

TEST(EmulatorPty, ADeadWritersDeviceAndLinkGoAwayWhileTheProgramListensOn) {
    const std::string dir = MakeTempDir();
    const std::string link = dir + "/ttyWriter";
    EmulatorProcess emu;
    ASSERT_TRUE(emu.Start({"--no-pacing", "--link", link, "--fault", "W#2:die=2"}, true));
    const std::string device = emu.ReadLine();
    const int fd = OpenLine(link);
    ASSERT_GE(fd, 0);
    WriteBytes(fd, BlockReadRequest(0x0400, 8));
    EXPECT_EQ(ReadBytes(fd, 8, 3000), kFactoryVersion);
    WriteBytes(fd, BlockReadRequest(0x0400, 8));
    // The two bytes that went out before the death, then a hang-up.
    EXPECT_EQ(ReadBytes(fd, 8, 3000), Bytes(kFactoryVersion.begin(), kFactoryVersion.begin() + 2));
    pollfd p{fd, POLLIN, 0};
    ASSERT_EQ(poll(&p, 1, 3000), 1);
    EXPECT_TRUE(p.revents & POLLHUP);
    close(fd);
    EXPECT_EQ(emu.ReadErrorLine(), "writer-emulator: fault W#2 die=2: the writer dies after 2 of 8 bytes of the answer");
    EXPECT_EQ(emu.ReadErrorLine(), "writer-emulator: the writer is dead; " + device + " has gone away");
    EXPECT_FALSE(Exists(link));
    EXPECT_LT(open(device.c_str(), O_RDWR | O_NOCTTY), 0);

    emu.Say("status\n");
    EXPECT_EQ(emu.ReadLine().rfind("socket: blank", 0), 0u);
    emu.Say("quit\n");
    EXPECT_EQ(emu.WaitExit(), 0);
    EXPECT_FALSE(Exists(link + ".lock"));
}

TEST(EmulatorPty, ASecondEmulatorOnTheSameLinkIsRefusedAndTheFirstKeepsIt) {
    const std::string dir = MakeTempDir();
    const std::string link = dir + "/ttyWriter";
    WriteFile(link + ".lock", {'1', '\n'});  // left by an emulator that was killed: nobody holds it
    EmulatorProcess first;
    ASSERT_TRUE(first.Start({"--no-pacing", "--link", link}));
    const std::string device = first.ReadLine();
    ASSERT_EQ(LinkTarget(link), device);

    EmulatorProcess second;
    ASSERT_TRUE(second.Start({"--no-pacing", "--link", link}, true));
    EXPECT_EQ(second.WaitExit(), 2);
    EXPECT_EQ(second.ReadErrorLine(),
              "writer-emulator: " + link + " is served by another writer-emulator (pid " + std::to_string(first.Pid()) + ")");
    EXPECT_EQ(second.ReadAll(), "");

    EXPECT_EQ(LinkTarget(link), device);
    const int fd = OpenLine(link);
    ASSERT_GE(fd, 0);
    WriteBytes(fd, BlockReadRequest(0x0400, 8));
    EXPECT_EQ(ReadBytes(fd, 8, 3000), kFactoryVersion);
    close(fd);
    first.Say("quit\n");
    EXPECT_EQ(first.WaitExit(), 0);
    EXPECT_FALSE(Exists(link));
    EXPECT_FALSE(Exists(link + ".lock"));

    // Once the first has gone the link is free again.
    EmulatorProcess third;
    ASSERT_TRUE(third.Start({"--no-pacing", "--link", link}));
    EXPECT_EQ(LinkTarget(link), third.ReadLine());
    third.Say("quit\n");
    EXPECT_EQ(third.WaitExit(), 0);
}

// ---------------------------------------------------------------- command line

TEST(EmulatorPty, HelpDescribesTheOptionsAndExitsZero) {
    EmulatorProcess emu;
    ASSERT_TRUE(emu.Start({"--help"}));
    const std::string text = emu.ReadAll();
    EXPECT_EQ(emu.WaitExit(), 0);
    for (const char* option : {"--link", "--memory", "--dump", "--no-pacing", "--fault", "--seed", "die-rx=K", "--help"})
        EXPECT_NE(text.find(option), std::string::npos) << option;
}

TEST(EmulatorPty, AnUnknownArgumentIsAUsageError) {
    EmulatorProcess emu;
    ASSERT_TRUE(emu.Start({"--bogus"}));
    EXPECT_EQ(emu.ReadAll(), "");
    EXPECT_EQ(emu.WaitExit(), 2);
}

}  // namespace
