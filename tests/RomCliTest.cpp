// The console steps load, save and upload, as the operator's picks in the
// file dialogs.
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include "CliSupport.h"
#include "RomFixture.h"
#include "cli/CliRunner.h"
#include "emulatedport/EmulatedPort.h"

using namespace otp;

namespace {

const char kIni[] =
    "VERSION 12071000\n"
    "RS232_PORT COM1\n"
    "IC_BODY_START\n"
    "BODY TINY\n"
    "INFO $A5,0,0,0,$80,16,0,0,$80\n"
    "OPT\n0 00 00 BODY TINY\n0 00 00 OPTION END\n"
    "IC_BODY_END\n";

const char kRom[] =
    "BODY TINY\r\nOPTION END\r\nMORVIK_BYTE 0200000000000000\r\nMORVIK_SUM 0002\r\nMORVIK_TOTAL 007A\r\n"
    "ROM START\r\nBANK 0\r\nSTARTADR 0000\r\nENDADR 000F\r\nLENGTH 16 BYTE\r\n"
    "0000  00 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F \r\nCHECKSUM 0078\r\n"
    "BANK 0 END\r\nROM END\r\nBoard SW Version 0001\r\nBoard HW Version 0301\r\nBoard Xilinx Version 0205\r\n";

}  // namespace

class RomCliTest : public test::CliInProcessTest {};

TEST_F(RomCliTest, StepsAreListedWithTheirArguments) {
    EXPECT_EQ(Run({"--help"}), 0);
    EXPECT_NE(out.str().find("  load FILE "), std::string::npos) << out.str();
    EXPECT_NE(out.str().find("  save FILE "), std::string::npos) << out.str();
    EXPECT_NE(out.str().find("  upload "), std::string::npos) << out.str();
    EXPECT_EQ(Run({"load"}), 2);
    EXPECT_NE(err.str().find("step 'load' needs FILE"), std::string::npos) << err.str();
}

TEST_F(RomCliTest, LoadThenSaveRelativeToTheWorkingDirectory) {
    dir.Write("Writer.ini", kIni);
    dir.Write("in.rom", kRom);
    EXPECT_EQ(Run({"load", "in.rom", "save", "out.rom"}), 0) << out.str() << err.str();
    EXPECT_EQ(dir.Read("out.rom"), kRom);
    EXPECT_EQ(opener->Writer().ReadMemory(0x4000, 3), (std::vector<uint8_t>{0, 1, 2}));
    EXPECT_NE(out.str().find("Data save to [out.rom] OK !!!\n"), std::string::npos);
}

TEST_F(RomCliTest, RefusedSaveDoesNotLeaveItsPickForTheNextStep) {
    dir.Write("Writer.ini", kIni);
    dir.Write("in.rom", kRom);
    // The writer names a body index beyond the list: no body is selected.
    opener->Writer().Poke(0x7F91, 5);
    EXPECT_EQ(Run({"--keep-going", "save", "first.rom", "load", "in.rom", "save", "second.rom"}), 1);
    EXPECT_NE(err.str().find("No Body selected, ROM file not saved !!!"), std::string::npos) << err.str();
    EXPECT_FALSE(std::filesystem::exists(dir.file("first.rom")));
    EXPECT_EQ(dir.Read("second.rom"), kRom);
}

TEST_F(RomCliTest, MissingFileFailsTheRun) {
    dir.Write("Writer.ini", kIni);
    EXPECT_EQ(Run({"load", "none.rom"}), 1);
    EXPECT_NE(out.str().find("File no found !!!\n"), std::string::npos) << out.str();
}

TEST_F(RomCliTest, UploadTakesTheWritersImage) {
    dir.Write("Writer.ini", kIni);
    opener->Writer().WriteMemory(0x7F90, {0xA5, 0, 0, 0, 0x80, 16, 0, 0, 0x80, 0, 0, 0, 0, 0, 0, 0});
    opener->Writer().WriteMemory(0x4000, {0xAA, 0xBB});
    EXPECT_EQ(Run({"upload"}), 0) << out.str() << err.str();
    EXPECT_NE(out.str().find("0000: AA BB "), std::string::npos) << out.str();
}

// --yes answers the program's own confirmations, never load's question about
// a damaged file: only --load-damaged takes one, and the last line says so.
TEST_F(RomCliTest, ADamagedFileIsLoadedOnlyWithItsOwnOption) {
    dir.Write("Writer.ini", kIni);
    const std::string rom = kRom;
    dir.Write("cut.rom", rom.substr(0, rom.find("CHECKSUM")));
    const std::string damage = "the data section ends without its CHECKSUM line";
    const std::string question = "Confirm: The ROM file [cut.rom] is damaged (" + damage + "): load it anyway? -> ";
    const struct {
        std::vector<std::string> args;
        int status;
        std::string answer;
        std::string last;
        uint8_t writerHolds;  // the writer's first image byte; the loaded file's is 00
    } rows[] = {
        {{"--yes", "load", "cut.rom"}, 1, "no (--load-damaged loads it anyway)",
         "FAIL: cut.rom is damaged (" + damage + "); not loaded (--load-damaged loads it anyway)", 0xFF},
        {{"--load-damaged", "load", "cut.rom"}, 0, "yes", "PASS: a damaged file was loaded: [cut.rom] (" + damage + ")",
         0x00},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.args[0]);
        opener->Writer().Poke(0x4000, 0xFF);
        EXPECT_EQ(Run(row.args), row.status) << out.str() << err.str();
        const std::vector<std::string> said = test::Lines(err.str());
        EXPECT_TRUE(test::Contains(said, question + row.answer)) << err.str();
        ASSERT_FALSE(said.empty());
        EXPECT_EQ(said.back().substr(0, row.last.size()), row.last);
        EXPECT_EQ(opener->Writer().ReadMemory(0x4000, 1), std::vector<uint8_t>{row.writerHolds});
    }
}

TEST_F(RomCliTest, FileThatIsNoRegularFileFailsTheLoadWithItsReason) {
    const struct {
        bool (*make)(const test::TempDir& d);  // false: not on this system (a FIFO on Windows)
        std::vector<std::string> said;
    } rows[] = {
        {[](const test::TempDir& d) {
             d.Write("Writer.ini", kIni);
             return test::MakeFifo(d.file("in.rom"));
         },
         {"Can not read [" + dir.file("in.rom") + "] (is not a regular file), load stopped !!!"}},
        {[](const test::TempDir& d) {
             std::filesystem::create_directory(d.file("Writer.ini"));
             d.Write("in.rom", kRom);
             return true;
         },
         {"Writer.ini in " + dir.path() + " can not be read (is a folder) !!!",
          "otpwriter-cli: Writer.ini could not be read; not run: load in.rom"}},
    };
    for (const auto& row : rows) {
        std::filesystem::remove_all(dir.file("Writer.ini"));
        std::filesystem::remove(dir.file("in.rom"));
        if (!row.make(dir)) continue;
        EXPECT_EQ(Run({"load", "in.rom"}), 1);
        for (const std::string& text : row.said)
            EXPECT_NE((out.str() + err.str()).find(text), std::string::npos) << out.str() << err.str();
    }
}
