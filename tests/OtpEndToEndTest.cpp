// A production line in real time: writer-emulator on a pseudo-terminal, the
// console front end on its serial code, and a person putting the next chip
// into the socket through the emulator's standard input.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

#include "ChildProcess.h"
#include "CliSupport.h"

using otp::test::CliRun;
using otp::test::RunCliProgram;

namespace {

const char kEmulator[] = OTP_BINARY_DIR "/writer-emulator";

// A 64-byte body with short waits, and an image for it.
const char kIni[] =
    "VERSION 12071000 V5.00\n"
    "RS232_PORT COM1\n"
    "IC_BODY_START\n"
    "BODY TINY64\n"
    "BNK_DLY 5\n"
    "PRG_DLY 30\n"
    "VER_DLY 5\n"
    "CPY_DLY 10\n"
    "OBJ_DLY 0\n"
    "OFFSET 0\n"
    "INFO $A5,0,0,0,$80,64,0,0,$80,0,0,0,0,0,0,0\n"
    "OPT\n"
    "0 00 00 BODY TINY64\n"
    "0 00 00 OPTION END\n"
    "IC_BODY_END\n";

std::string RomText() {
    std::ostringstream rom;
    rom << "BODY TINY64\r\nOPTION END\r\nMORVIK_BYTE 0000000000000000\r\nROM START\r\nBANK 0\r\n"
           "STARTADR 0000\r\nENDADR 003F\r\nLENGTH 00064 BYTE\r\n";
    int sum = 0;
    for (int row = 0; row < 4; ++row) {
        char label[8];
        std::snprintf(label, sizeof label, "%04X ", row * 16);
        rom << label;
        for (int k = 0; k < 16; ++k) {
            const int v = ((row * 16 + k) * 7 + 1) & 0xFF;
            sum += v;
            char value[4];
            std::snprintf(value, sizeof value, " %02X", v);
            rom << value;
        }
        rom << " \r\n";
    }
    char checksum[16];
    std::snprintf(checksum, sizeof checksum, "%04X", sum & 0xFFFF);
    rom << "CHECKSUM " << checksum << "\r\nBANK 0 END\r\nROM END\r\n";
    return rom.str();
}

// writer-emulator as a child; a line on its input is answered with one line.
class Emulator : public otp::test::ChildProcess {
public:
    bool Start(const std::vector<std::string>& args) { return ChildProcess::Start(kEmulator, args); }
    std::string Command(const std::string& line) {
        ChildProcess::Say(line + "\n");
        return line == "quit" ? std::string() : ReadLine();
    }
};

class OtpEndToEnd : public ::testing::Test {
protected:
    void SetUp() override {
        dir.Write("Writer.ini", kIni);
        dir.Write("x.rom", RomText());
    }
    otp::test::TempDir dir;
    std::string link() const { return dir.file("ttyWriter"); }
};

}  // namespace

TEST_F(OtpEndToEnd, AProductionRunPassesOnABlankIcAndTheSameIcThenFailsTheBlankCheck) {
    Emulator emu;
    ASSERT_TRUE(emu.Start({"--link", link(), "--ic", "blank"}));
    ASSERT_EQ(emu.ReadLine().rfind("/dev/", 0), 0u);

    CliRun run = RunCliProgram(dir.path(), link(), "load x.rom auto");
    EXPECT_EQ(run.status, 0);
    ASSERT_GE(run.lines.size(), 3u);
    EXPECT_EQ(run.lines[run.lines.size() - 3], "  -----> OTP Program Finish !!!");
    EXPECT_EQ(run.lines.back(), "  -----> OTP Verify OK !!!");
    EXPECT_TRUE(run.Has("  -----> OTP Blank Check OK !!!"));

    run = RunCliProgram(dir.path(), link(), "auto");
    EXPECT_EQ(run.status, 1);
    ASSERT_FALSE(run.lines.empty());
    EXPECT_EQ(run.lines.back(), "  -----> OTP Blank Check Fail !!!");
    EXPECT_FALSE(run.Has("Programming ................"));

    // The operator puts the next chip in; the writer still holds the image.
    EXPECT_EQ(emu.Command("status"), "socket: programmed; body 00; banks used: 0; test code: FFFF FFFF; next rolling code: 0100");
    EXPECT_EQ(emu.Command("ic blank"), "socket: blank; body any; banks used: none; test code: FFFF FFFF; next rolling code: 0100");
    run = RunCliProgram(dir.path(), link(), "auto verify");
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.lines.back(), "  -----> OTP Verify OK !!!");

    emu.Command("quit");
    EXPECT_EQ(emu.WaitExit(), 0);
}

TEST_F(OtpEndToEnd, EachSocketStateGivesItsFailure) {
    Emulator emu;
    ASSERT_TRUE(emu.Start({"--link", link(), "--ic", "none", "--no-pacing"}));
    ASSERT_FALSE(emu.ReadLine().empty());

    // The writer takes the configured body first; the ICs put in later belong to it.
    CliRun run = RunCliProgram(dir.path(), link(), "body 0 read");
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.lines.back(), "  -----> IC no put on socket or jumper setting error !!!");

    emu.Command("ic wrong-body");
    run = RunCliProgram(dir.path(), link(), "--keep-going blank read");
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(run.Has("  -----> OTP Blank Check Fail !!!"));
    EXPECT_EQ(run.lines.back(), "  -----> IC Body code (Test code) compare error !!!");

    emu.Command("ic locked");
    run = RunCliProgram(dir.path(), link(), "copy");
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.lines.back(), "  -----> Master OTP has been Lock !!!");

    emu.Command("ic fault");
    run = RunCliProgram(dir.path(), link(), "copy");
    EXPECT_EQ(run.lines.back(), "  -----> IC no put on socket or jumper setting error !!!");

    emu.Command("ic programmed");
    run = RunCliProgram(dir.path(), link(), "copy");
    EXPECT_EQ(run.status, 0);
    EXPECT_TRUE(run.Has("Receiver Data Length = 64 bytes"));

    emu.Command("quit");
    EXPECT_EQ(emu.WaitExit(), 0);
}

TEST_F(OtpEndToEnd, TheSocketOptionIsCheckedAndDescribed) {
    Emulator bad;
    ASSERT_TRUE(bad.Start({"--ic", "purple"}));
    EXPECT_EQ(bad.ReadAll(), "");
    EXPECT_EQ(bad.WaitExit(), 2);

    Emulator help;
    ASSERT_TRUE(help.Start({"--help"}));
    const std::string text = help.ReadAll();
    EXPECT_EQ(help.WaitExit(), 0);
    for (const char* word : {"--ic KIND", "wrong-body", "fault", "ic KIND", "status"})
        EXPECT_NE(text.find(word), std::string::npos) << word;
}
