// The console steps of the operations on the IC: each is the operator's own
// click or pick, refused where the window would not let the operator act,
// and the exit status follows the verdicts.
#include <gtest/gtest.h>

#include <sstream>

#include "CliSupport.h"
#include "emulator/IcAccess.h"

using namespace otp;
using test::Contains;
using test::Lines;

namespace {

std::string ReadSource(const std::string& relative) {
    std::ifstream in(test::SourcePath(relative), std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

}  // namespace

class CliOtpStepsTest : public test::CliInProcessTest {
protected:
    void SetUp() override {
        dir.Write("Writer.ini", ReadSource("examples/Writer.ini"));
        dir.Write("demo.rom", ReadSource("examples/demo-rx4400.rom"));
    }

    emu::WriterEmulator& Writer() { return opener->Writer(); }
};

TEST_F(CliOtpStepsTest, AProductionRunPassesOnABlankIcAndFailsOnTheSameIcAgain) {
    EXPECT_EQ(Run({"load", "demo.rom", "auto"}), 0);
    auto lines = Out();
    ASSERT_GE(lines.size(), 7u);
    EXPECT_EQ(std::vector<std::string>(lines.end() - 7, lines.end()),
              (std::vector<std::string>{"Auto Command execution ................", "Blank Check ................",
                                        "  -----> OTP Blank Check OK !!!", "Programming ................",
                                        "  -----> OTP Program Finish !!!", "Verify ................",
                                        "  -----> OTP Verify OK !!!"}));
    EXPECT_EQ(err.str(), "PASS\n");

    EXPECT_EQ(Run({"auto"}), 1);
    EXPECT_EQ(Out().back(), "  -----> OTP Blank Check Fail !!!");
    EXPECT_EQ(Run({"verify", "read"}), 0);  // the programmed IC matches the image
    EXPECT_TRUE(Contains(Out(), "  -----> OTP Verify OK !!!"));
    EXPECT_EQ(Out().back().rfind("Object Checksum = ", 0), 0u);
}

TEST_F(CliOtpStepsTest, EveryButtonHasItsStepAndFailuresGiveExitStatusOne) {
    emu::PutInSocket(Writer(), emu::IcKind::None);
    for (const char* step : {"blank", "program", "verify", "read", "copy", "auto"}) {
        EXPECT_EQ(Run({step}), 1) << step;
        EXPECT_EQ(err.str().rfind("FAIL: OTP ", 0), 0u) << step << ": " << err.str();
    }
    emu::PutInSocket(Writer(), emu::IcKind::Blank);
    for (const char* step : {"blank", "program", "verify", "read"}) EXPECT_EQ(Run({step}), 0) << step;
    emu::PutInSocket(Writer(), emu::IcKind::Programmed);
    EXPECT_EQ(Run({"copy"}), 0);
    EXPECT_EQ(Out().back(), "Object Checksum =" + [] {
        int sum = 0;
        for (size_t i = 0; i < 1024; ++i) sum = (sum + emu::MasterCell(i)) & 0xFFFF;
        char text[8];
        std::snprintf(text, sizeof text, "%04X", sum);
        return std::string(text);
    }());
}

TEST_F(CliOtpStepsTest, BodyLockAndRollingPicksRunTheirHandlers) {
    EXPECT_EQ(Run({"--trace", "body", "RX4720", "lock", "on", "rolling", "ON"}), 0);
    const auto lines = Out();
    EXPECT_TRUE(Contains(lines, "SetSelection ComboBox1 1"));
    EXPECT_TRUE(Contains(lines, "SetSelection ComboBox4 1"));
    EXPECT_TRUE(Contains(lines, "SetSelection ComboBox3 1"));
    EXPECT_EQ(Writer().Peek(emu::WriterEmulator::kBodyInfoAddr + 1), 1);
    EXPECT_EQ(Writer().Peek(emu::WriterEmulator::kBodyInfoAddr + 4), 0x60);

    EXPECT_EQ(Run({"body", "0", "lock", "off"}), 0);
    EXPECT_EQ(Writer().Peek(emu::WriterEmulator::kBodyInfoAddr + 4), 0x80);
}

TEST_F(CliOtpStepsTest, BadPicksAreRefused) {
    EXPECT_EQ(Run({"body", "9"}), 1);
    EXPECT_NE(err.str().find("The body is not available !!!"), std::string::npos);
    EXPECT_EQ(Run({"body", "RX9999"}), 1);
    EXPECT_EQ(Run({"lock", "maybe"}), 1);
    EXPECT_NE(err.str().find("lock takes on or off, not \"maybe\""), std::string::npos);
    // RX4400 has no rolling code and no bank choice: those selectors are disabled.
    EXPECT_EQ(Run({"rolling", "on"}), 1);
    EXPECT_NE(err.str().find("The rolling selector is not available for this body"), std::string::npos);
    EXPECT_EQ(Run({"bank", "1"}), 1);
    EXPECT_NE(err.str().find("The bank selector is not available for this body"), std::string::npos);
}

TEST_F(CliOtpStepsTest, BankStepsPickByTheBodysList) {
    emu::PutInSocket(Writer(), emu::IcKind::Blank);
    EXPECT_EQ(Run({"body", "2", "bank", "1"}), 0);
    EXPECT_EQ(Out().back(), "Bank switch to Bank_1");
    EXPECT_EQ(Run({"body", "2", "bank", "5"}), 1);  // a two-bank body
    EXPECT_NE(err.str().find("The bank list has no item \"Bank 5\""), std::string::npos);
    EXPECT_EQ(Run({"body", "2", "bank", "first"}), 0);
    EXPECT_EQ(Out().back(), "Bank search finish, and Bank switch to Bank_0");
    EXPECT_EQ(Run({"body", "2", "bank", "last"}), 1);  // nothing programmed yet
    EXPECT_EQ(Out().back(), "  -----> IC put on socket error or jumper setting error !!!");
}

TEST_F(CliOtpStepsTest, DisabledButtonsAndHiddenMenusAreNotClicked) {
    EXPECT_EQ(Run({"body", "3", "auto", "blank"}), 1);  // MTP
    EXPECT_NE(err.str().find("\"Auto\" is not available for this body"), std::string::npos);
    EXPECT_NE(err.str().find("otpwriter-cli: step 'auto' was refused; not run: blank"), std::string::npos);
    EXPECT_EQ(Run({"--keep-going", "body", "3", "auto", "blank"}), 1);
    EXPECT_NE(err.str().find("\"Blank Check\" is not available for this body"), std::string::npos);
    EXPECT_FALSE(Contains(Out(), "Auto Command execution ................"));
    EXPECT_EQ(Run({"body", "3", "testcode-write", "--yes"}), 1);
    EXPECT_NE(err.str().find("\"Testcode > Write\" is not available for this body"), std::string::npos);
    EXPECT_EQ(Run({"body", "0", "testcode-read"}), 1);
    EXPECT_NE(err.str().find("\"Testcode > Read\" is not available for this body"), std::string::npos);
}

TEST_F(CliOtpStepsTest, TestCodeStepsWithAndWithoutYes) {
    EXPECT_EQ(Run({"body", "1", "testcode-write"}), 1);
    EXPECT_NE(err.str().find("Confirm: Please confirm IC body is right !!! -> no"), std::string::npos);
    EXPECT_EQ(Run({"--yes", "body", "1", "testcode-write", "testcode-read"}), 0);
    const auto lines = Out();
    EXPECT_TRUE(Contains(lines, "  -----> Test Code Write OK !!!"));
    EXPECT_EQ(lines[lines.size() - 2], "0000: 7E01 81FE ");
    EXPECT_EQ(lines.back(), "Receiver Data Length = 4 bytes");
}

TEST_F(CliOtpStepsTest, HelpListsTheSteps) {
    EXPECT_EQ(Run({"--help"}), 0);
    for (const char* step : {"auto ", "blank ", "program ", "verify ", "read ", "copy ", "body N", "lock on|off",
                             "rolling on|off", "bank 0-7|last|first", "testcode-read", "testcode-write"})
        EXPECT_NE(out.str().find(std::string("  ") + step), std::string::npos) << step;
}
