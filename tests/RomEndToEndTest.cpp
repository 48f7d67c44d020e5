// A .rom file through the whole chain in real time: otpwriter-cli loads it
// into writer-emulator over a pseudo-terminal and the real serial code, a
// second run uploads the writer's image and saves it again.
#include <gtest/gtest.h>

#include <cstdio>
#include <sstream>

#include "EmulatorOnPty.h"

using namespace otp::test;

namespace {

const char kIni[] =
    "VERSION 12071000 V5.00\r\n"
    "RS232_PORT COM1\r\n"
    "IC_BODY_START\r\n"
    "BODY RX4400\r\n"
    "INFO $A5,0,0,0,$80,0,4,0,$80\r\n"
    "BODY SMALL\r\n"
    "OFFSET $0040\r\n"
    "INFO $A5,1,0,0,$80,48,0,0,$80\r\n"
    "OPT\r\n"
    "0 00 00 BODY SMALL\r\n"
    "0 01 00 LOCK OFF\r\n"
    "0 01 01 LOCK ON\r\n"
    "0 00 00 OPTION END\r\n"
    "IC_BODY_END\r\n";

// 48 values i * 3 from address 0x40, option bytes 01 5A, as the program
// writes the file for body SMALL.
const char kRom[] =
    "BODY SMALL\r\n"
    "LOCK ON\r\n"
    "OPTION END\r\n"
    "MORVIK_BYTE 015A000000000000\r\n"
    "MORVIK_SUM 005B\r\n"
    "MORVIK_TOTAL 0D93\r\n"
    "ROM START\r\n"
    "BANK 0\r\n"
    "STARTADR 0040\r\n"
    "ENDADR 006F\r\n"
    "LENGTH 48 BYTE\r\n"
    "0040  00 03 06 09 0C 0F 12 15 18 1B 1E 21 24 27 2A 2D \r\n"
    "0050  30 33 36 39 3C 3F 42 45 48 4B 4E 51 54 57 5A 5D \r\n"
    "0060  60 63 66 69 6C 6F 72 75 78 7B 7E 81 84 87 8A 8D \r\n"
    "CHECKSUM 0D38\r\n"
    "BANK 0 END\r\n"
    "ROM END\r\n"
    "Board SW Version 0001\r\n"
    "Board HW Version 0301\r\n"
    "Board Xilinx Version 0205\r\n";


int CountLines(const std::string& text, const std::string& line) {
    std::istringstream in(text);
    int n = 0;
    for (std::string l; std::getline(in, l);) n += l == line;
    return n;
}

class RomEndToEndTest : public EmulatorOnPtyTest {
protected:
    void SetUp() override {
        // The writer starts out holding a small body, so that the start-up
        // of every run reads little: version digits at 0x400, BodyInfo at
        // 0x7F90 (48 values, ByteMode), everything else 0.
        std::string memory(0x7FA0, '\0');
        const char version[] = {1, 2, 0, 7, 1, 0, 0, 0};
        memory.replace(0x400, 8, version, 8);
        const unsigned char body[16] = {0xA5, 0, 0, 0, 0x80, 16, 0, 0, 0x80, 0, 0, 0, 0, 0, 0, 0};
        memory.replace(0x7F90, 16, reinterpret_cast<const char*>(body), 16);
        dir.Write("memory.bin", memory);

        StartEmulator({"--memory", dir.file("memory.bin"), "--no-pacing"});
        if (HasFatalFailure()) return;
        dir.Write("Writer.ini", kIni);
    }
};

}  // namespace

TEST_F(RomEndToEndTest, LoadUploadSaveGivesTheSameFile) {
    dir.Write("x.rom", kRom);
    const CliRun load = Cli("load x.rom");
    ASSERT_EQ(load.status, 0) << load.out;
    EXPECT_TRUE(HasLine(load.out, "COM1 Connect OK !!!")) << load.out;
    EXPECT_TRUE(HasLine(load.out, "0040: 00 03 06 09 0C 0F 12 15 18 1B 1E 21 24 27 2A 2D ")) << load.out;
    EXPECT_TRUE(HasLine(load.out, "Receiver Data Length = 48 bytes")) << load.out;
    EXPECT_TRUE(HasLine(load.out, "Object Checksum =0D38")) << load.out;
    EXPECT_EQ(load.out.find("Download error"), std::string::npos) << load.out;

    // A new run: its start-up already takes the writer's data, the upload
    // takes it again, and the save writes what the host then holds.
    const CliRun second = Cli("upload save y.rom");
    ASSERT_EQ(second.status, 0) << second.out;
    EXPECT_TRUE(HasLine(second.out, "0000: 01 5A 00 00 00 00 00 00 00 00 00 00 00 00 00 00 ")) << second.out;
    EXPECT_TRUE(HasLine(second.out, "Data save to [y.rom] OK !!!")) << second.out;
    EXPECT_EQ(CountLines(second.out, "Receiver Data Length = 48 bytes"), 2) << second.out;
    EXPECT_EQ(dir.Read("y.rom"), kRom);
}

TEST_F(RomEndToEndTest, RefusedBodyGivesExitStatusOne) {
    std::string other = kRom;
    other.replace(other.find("BODY SMALL"), 10, "BODY LARGE");
    dir.Write("other.rom", other);
    const CliRun r = Cli("load other.rom");
    EXPECT_EQ(r.status, 1) << r.out;
    EXPECT_NE(r.out.find("The Body not support !!! "), std::string::npos) << r.out;
}
