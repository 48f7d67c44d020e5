#include <gtest/gtest.h>

#include "CliSupport.h"
#include "version/ProgramVersion.h"

using namespace otp;

using test::Contains;
using test::Lines;

class CliTest : public test::CliInProcessTest {};

TEST_F(CliTest, TraceShowsWhatWriterIniDefines) {
    dir.Write("Writer.ini", "VERSION 12071000 V5.00\nRS232_PORT COM2\nIC_BODY_START\nBODY RX4400\n"
                            "INFO $A5,0,0,0,$80,0,4,0,$80\nBODY RX4720\nIC_BODY_END\n");
    EXPECT_EQ(Run({"--trace"}), 0);
    const auto lines = Lines(out.str());
    ASSERT_GE(lines.size(), 8u);
    EXPECT_EQ(std::vector<std::string>(lines.begin(), lines.begin() + 8),
              (std::vector<std::string>{"ClearPane RichEdit1", "ClearPane RichEdit2",
                                        "SetCaption Morvik OTP Writer V5.00 (12071000)", "SetFieldText Edit3 COM2",
                                        "AddChoice ComboBox1 RX4400", "AddChoice ComboBox1 RX4720",
                                        "SetDropDownCount ComboBox1 2", "SetSelection ComboBox1 0"}));
    EXPECT_TRUE(Contains(lines, "AppendLine RichEdit2 COM2 Connect OK !!!"));
    EXPECT_TRUE(Contains(lines, "SetMenuVisible Testcode1 off"));
    EXPECT_TRUE(Contains(lines, "SetProgressMax 162"));
    EXPECT_EQ(err.str(), "PASS\n");
}

TEST_F(CliTest, PlainModePrintsPaneLinesAndBoxesOnStderr) {
    dir.Write("Writer.ini", "RS232_PORT COM3\n");
    opener->FailOpen("COM3");
    EXPECT_EQ(Run({"version"}), 1);
    EXPECT_EQ(out.str(), "COM3 Connect Error (1)!!!\n");
    EXPECT_EQ(err.str(),
              "ERROR: RS232 open error!!!\notpwriter-cli: no writer answered at start-up; not run: version\n"
              "FAIL: ERROR: RS232 open error!!!\n");
    EXPECT_EQ(Run({"--keep-going", "version"}), 1);
    EXPECT_EQ(out.str(), "COM3 Connect Error (1)!!!\nVersion : \nReceiver Data Length = 0 bytes\n");
    EXPECT_EQ(err.str(), "ERROR: RS232 open error!!!\nERROR: RS232 open error!!!\nFAIL: ERROR: RS232 open error!!!\n");
}

TEST_F(CliTest, VersionStepAfterStartUp) {
    dir.Write("Writer.ini", "VERSION 12071000\nRS232_PORT COM1\n");
    EXPECT_EQ(Run({"version"}), 0);
    const auto lines = Lines(out.str());
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines[lines.size() - 2], "Version : 12071000");
    EXPECT_EQ(lines.back(), "Receiver Data Length = 8 bytes");
}

TEST_F(CliTest, AWriterOfAnotherVersionRunsOnlyTheStepsThatShowAndMendIt) {
    dir.Write("Writer.ini", "VERSION 12071001\nRS232_PORT COM1\nIC_BODY_START\nBODY A\nIC_BODY_END\n");
    EXPECT_EQ(Run({"blank", "version", "read"}), 1);
    EXPECT_TRUE(Contains(Out(), "Version : 12071000"));
    EXPECT_FALSE(Contains(Out(), "Blank Check ................"));
    EXPECT_NE(err.str().find("otpwriter-cli: the writer's version differs from Writer.ini's; not run: blank, read"),
              std::string::npos)
        << err.str();
}

TEST_F(CliTest, UsageErrorsExitWith2AndNameTheProblem) {
    EXPECT_EQ(Run({"frobnicate"}), 2);
    EXPECT_NE(err.str().find("unknown step 'frobnicate'"), std::string::npos);
    err.str("");
    EXPECT_EQ(Run({"--bogus"}), 2);
    EXPECT_NE(err.str().find("unknown option '--bogus'"), std::string::npos);
    EXPECT_EQ(out.str(), "");  // nothing ran
    EXPECT_EQ(opener->OpenCount(), 0);
}

TEST_F(CliTest, HelpListsStepsOptionsAndPorts) {
    EXPECT_EQ(Run({"--help"}), 0);
    const std::string help = out.str();
    for (const char* word : {"--trace", "--yes", "--load-damaged", "--demo", "--keep-going", "--log", "--max-fails",
                              "--version", "loop", "version", "OTPWRITER_COMn", "/dev/ttyS<n-1>", "\\\\.\\COMn", "C:\\",
                              "Exit status"})
        EXPECT_NE(help.find(word), std::string::npos) << word;
    EXPECT_EQ(Run({"--version"}), 0);
    EXPECT_EQ(out.str(), std::string("otpwriter-cli ") + kProgramVersion + "\nBuilt " + kBuildDate + ".\n");
    EXPECT_EQ(std::string(kProgramVersion).find_first_not_of("0123456789."), std::string::npos);
    EXPECT_EQ(opener->OpenCount(), 0);
}
