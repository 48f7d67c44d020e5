#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>

#include "OperationFixture.h"
#include "config/ApplyBodyInfo.h"
#include "maintenance/WriterVersion.h"
#include "operations/Startup.h"

using namespace otp;

class StartupTest : public test::OperationTest {};

TEST_F(StartupTest, WorkingWriterIsTakenOver) {
    std::vector<uint8_t> image(1024);
    for (size_t i = 0; i < image.size(); ++i) image[i] = static_cast<uint8_t>(i);
    writer->WriteMemory(0x4000, image);
    writer->WriteMemory(0x7F80, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16});
    MakeSession(
        "VERSION 12071000 V5.00\nRS232_PORT COM3\nIC_BODY_START\nBODY RX4400\nOFFSET $100\n"
        "INFO $A5,0,0,0,$80,0,4,0,$80\n+ 0,0,0,0,0,0,0\nIC_BODY_END\n");
    EXPECT_EQ(RunStartup(ctx()), StartupResult::Ready);
    // The log names the port actually used.
    EXPECT_EQ(Pane(Control::RichEdit2), std::vector<std::string>{"COM3 Connect OK !!!"});
    const auto& upper = Pane(Control::RichEdit1);
    ASSERT_EQ(upper.size(), 2u + 3u + 64u + 2u);
    EXPECT_EQ(upper[0], "0000: A5 00 31 00 80 00 04 00 80 00 00 00 00 00 00 00 ");
    EXPECT_EQ(upper[1], "Receiver Data Length = 16 bytes");
    EXPECT_EQ(upper[2], "0000: 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F 10 ");
    EXPECT_EQ(upper[4], "Option Checksum =0088");
    EXPECT_EQ(upper[5], "0100: 00 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F ");
    EXPECT_EQ(upper[69], "Receiver Data Length = 1024 bytes");
    EXPECT_EQ(upper[70], "Object Checksum =FE00");
    // Edit1 first shows the total over 16 option bytes, then over bytes 0-7 only.
    EXPECT_EQ(form.Field(Control::Edit1), "FE24");
    EXPECT_EQ(state().ObjectLength, 1024);
    EXPECT_EQ(state().RomImage[1023], 0xFF);
    EXPECT_EQ(state().OptionBytes[15], 16);
    EXPECT_EQ(state().IniVersion, "12071000");
    EXPECT_FALSE(ctx().link.PortHandle);
    // Open; the line looked at until it has been quiet for 50 ms (at 0, 20,
    // 40 and 50 ms); then the block reads: body, options and image each
    // twice (1024: 162 ticks), version; each wait starts when the request has
    // left (9 ms).
    EXPECT_EQ(wire.drains,
              (std::vector<int64_t>{0, 20, 40, 50, 159, 268, 377, 486, 495 + 1620, 2124 + 1620, 3753 + 100}));
}

TEST_F(StartupTest, NoWriterAttached) {
    MakeSession("RS232_PORT COM2\nIC_BODY_START\nBODY A\nINFO $A5,0,0,0,$80,0,4,0,0,0,0,0,0,0,0,0\nIC_BODY_END\n");
    writer->SetCommand(0x57, {});  // a silent writer
    EXPECT_EQ(RunStartup(ctx()), StartupResult::NoWriter);
    EXPECT_EQ(Pane(Control::RichEdit1), (std::vector<std::string>{"", "Receiver Data Length = 0 bytes"}));
    EXPECT_EQ(Pane(Control::RichEdit2), std::vector<std::string>{"COM2 Connect Error (2)!!!"});
    // The zeroed row: WordMode, selectors disabled at item 0, buttons on, no test code.
    EXPECT_EQ(state().ValueDigits, 4);
    for (Control c : {Control::ComboBox3, Control::ComboBox4, Control::ComboBox5}) {
        EXPECT_FALSE(form.Enabled(c)) << ControlName(c);
        EXPECT_EQ(form.Selector(c).selection, 0) << ControlName(c);
    }
    EXPECT_TRUE(form.Enabled(Control::Button1));
    EXPECT_TRUE(form.Enabled(Control::Button2));
    EXPECT_FALSE(form.MenuVisible(Control::Testcode1));
    EXPECT_EQ(form.Field(Control::Edit1), "FE00");
}

TEST_F(StartupTest, PortThatCannotBeOpened) {
    MakeSession("RS232_PORT COM4\n");
    emulated.FailOpen("COM4");
    EXPECT_EQ(RunStartup(ctx()), StartupResult::NoWriter);
    EXPECT_EQ(trace[2], "SetFieldText Edit3 COM4");
    EXPECT_EQ(trace[3], "ShowErrorBox ERROR RS232 open error!!!");
    EXPECT_EQ(Pane(Control::RichEdit2), std::vector<std::string>{"COM4 Connect Error (1)!!!"});
    EXPECT_TRUE(Pane(Control::RichEdit1).empty());
    EXPECT_TRUE(wire.sent.empty());
}

TEST_F(StartupTest, SeventeenByteAnswerFailsDespiteTheMarker) {
    MakeSession("RS232_PORT COM1\n");
    writer->SetCommand(0x57, [] {
        struct Seventeen : emu::WriterCommand {
            int left = 7;
            bool Take(uint8_t, emu::WriterEmulator& w) override {
                if (--left > 0) return false;
                std::vector<uint8_t> reply(17, 0);
                reply[0] = 0xA5;
                w.Reply(reply);
                return true;
            }
        };
        return std::make_unique<Seventeen>();
    });
    EXPECT_EQ(RunStartup(ctx()), StartupResult::NoWriter);
    EXPECT_EQ(Pane(Control::RichEdit2), std::vector<std::string>{"COM1 Connect Error (2)!!!"});
    EXPECT_EQ(Pane(Control::RichEdit1).back(), "Receiver Data Length = 17 bytes");
    // A writer out of step is not taken for a missing one.
    EXPECT_EQ(ctx().findings.Text(), "the writer answered 17 bytes where 16 were asked");
}

// What a previous run's writer was still sending when this run opened the
// port (an answer after its host had gone, at line speed) is thrown away
// before the first request, and said; the start-up passes.
TEST_F(StartupTest, BytesLeftOnTheLineAreThrownAwayBeforeTheFirstRequest) {
    MakeSession("RS232_PORT COM1\nIC_BODY_START\nBODY A\nINFO $A5,0,0,0,$80,0,4,0,0,0,0,0,0,0,0,0\nIC_BODY_END\n");
    const std::string why = " (a previous run's writer still answering, or kept by the adapter): thrown away";
    const struct {
        size_t there;  // bytes on the line when the port opens
        size_t later;  // bytes coming 5 ms after it opens
        std::string finding;
    } rows[] = {
        {0, 0, ""},
        {0, 40, "40 bytes were on the line before the first request" + why},
        {40, 0, "bytes were on the line when the port was opened" + why},
        // the line's re-synchronisation after the open takes the later ones
        {10, 30, "bytes were on the line when the port was opened" + why},
    };
    emulated.KeepBytesWhileClosed(true);
    for (const auto& row : rows) {
        SCOPED_TRACE(row.finding);
        ctx().findings.Clear();
        // The writer's clock stands where its last answer left it.
        const int64_t openUs = pacer.NowMs() * 1000 - writer->NowUs();
        if (row.there) writer->Reply(std::vector<uint8_t>(row.there, 0x5A), openUs - 100000);
        if (row.later) writer->Reply(std::vector<uint8_t>(row.later, 0x5A), openUs + 5000);
        EXPECT_NE(RunStartup(ctx()), StartupResult::NoWriter);
        EXPECT_EQ(Pane(Control::RichEdit2).front(), "COM1 Connect OK !!!");
        EXPECT_EQ(ctx().findings.Text(), row.finding);
    }
}

TEST_F(StartupTest, VersionMismatchIsReportedAndAdopted) {
    writer->WriteMemory(0x0400, {0x31, 0x32, 0x30, 0x37, 0x31, 0x30, 0x30, 0x31});
    MakeSession("VERSION 12071000\nRS232_PORT COM1\nIC_BODY_START\nBODY A\n"
                "INFO $A5,0,0,0,$80,0,4,0,0,0,0,0,0,0,0,0\nIC_BODY_END\n");
    EXPECT_EQ(RunStartup(ctx()), StartupResult::OtherVersion);
    EXPECT_EQ(Pane(Control::RichEdit2),
              (std::vector<std::string>{"COM1 Connect OK !!!",
                                        "Writer driver version [12071001] & inifile version [12071000] no match !!!",
                                        "Please undate writer driver program or inifile !!!"}));
    EXPECT_EQ(state().IniVersion, "12071001");
}

// A body whose INFO lists give fewer than the 16 bytes sent is named, and
// one whose row gives an image length of 0, or a wait over 5 minutes, is
// named as not available; the writer is checked all the same.
TEST_F(StartupTest, BodiesWhoseRowsFallShortAreNamed) {
    const std::string unavailable = "Body RX9 in Writer.ini gives an image length of 0 ";
    const std::string sentAs00 = " of its 16 bytes are sent as 00 !!!";
    const std::string notAvailable = "it is not available !!!";
    const struct {
        const char* info;  // the INFO and wait lines of body RX9
        std::string line;  // "" for none
    } rows[] = {
        {"INFO $A5,1,0,0,$80,0,4,0,$80,0,0,0,0,0,0,0", ""},
        {"INFO $A5,1,0,0,$80,0,4,0\n+ $80,0,0,0,0,0,0,0,0,0", ""},
        {"INFO $A5,1,0,0,$80,0,4,0,$80", "Body RX9 in Writer.ini has 9 values in INFO: the other 7" + sentAs00},
        {"INFO $A5,1,0,0,$80,16", "Body RX9 in Writer.ini has 6 values in INFO: the other 10" + sentAs00},
        {"INFO $A5,1\n+ 0", unavailable + "(INFO has 3 values): it is not available !!!"},
        {"INFO $A5", unavailable + "(INFO has 1 value): it is not available !!!"},
        {"", unavailable + "(INFO has 0 values): it is not available !!!"},
        {"INFO $A5,1,0,0,$80,0,0,0,$80,0,0,0,0,0,0,0", unavailable + "(INFO bytes 5-6 are 0): it is not available !!!"},
        {"INFO $A5,1,0,0,$80,0,4,0,$80,0,0,0,0,0,0,0\nBNK_DLY 99999999",
         "Body RX9 in Writer.ini gives BNK_DLY 99999999, a wait over 30000 ticks of 10 ms (5 minutes): " + notAvailable},
        // 30000 is allowed; 4294967295 is read as -1.
        {"INFO $A5,1,0,0,$80,0,4,0,$80,0,0,0,0,0,0,0\nBNK_DLY 30000\nPRG_DLY 30001\nVER_DLY 30000\nCPY_DLY 4294967295",
         "Body RX9 in Writer.ini gives PRG_DLY 30001 and CPY_DLY 4294967295, waits over 30000 ticks of 10 ms (5 "
         "minutes): " + notAvailable},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.info);
        MakeSession("VERSION 12071000\nRS232_PORT COM1\nIC_BODY_START\nBODY RX4400\n"
                    "INFO $A5,0,0,0,$80,0,4,0,$80,0,0,0,0,0,0,0\nBODY RX9\n" + std::string(row.info) +
                    "\nIC_BODY_END\n");
        EXPECT_EQ(RunStartup(ctx()), StartupResult::Ready);
        std::vector<std::string> lower{"COM1 Connect OK !!!"};
        if (!row.line.empty()) lower.insert(lower.begin(), row.line);
        EXPECT_EQ(Pane(Control::RichEdit2), lower);
    }
}

// The version the writer gave last is kept for the window's About box; one
// that came short leaves the one before.
TEST_F(StartupTest, TheWriterVersionLastGivenWholeIsKept) {
    MakeSession("VERSION 12071000\nRS232_PORT COM1\n");
    EXPECT_EQ(state().WriterVersion, "");
    const struct {
        const char* name;
        std::vector<uint8_t> memory;  // the version bytes the writer holds
        bool silent;
        std::function<void()> run;
        std::string kept;
    } steps[] = {
        {"start-up", {1, 2, 0, 7, 1, 0, 0, 0}, false, [&] { RunStartup(ctx()); }, "12071000"},
        {"version query", {1, 2, 0, 7, 1, 0, 0, 2}, false, [&] { Version1Click(ctx()); }, "12071002"},
        {"silent writer", {1, 2, 0, 7, 1, 0, 0, 3}, true, [&] { Version1Click(ctx()); }, "12071002"},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.name);
        writer->WriteMemory(0x0400, step.memory);
        if (step.silent) writer->SetCommand(0x57, {});
        step.run();
        EXPECT_EQ(state().WriterVersion, step.kept);
    }
}

TEST_F(StartupTest, LowerCaseVersionInIniMatches) {
    writer->WriteMemory(0x0400, {0x01, 0x0A, 0x02, 0x0B, 0x03, 0x0C, 0x04, 0x0D});
    MakeSession("VERSION 1a2b3c4d\nRS232_PORT COM1\n");
    EXPECT_EQ(RunStartup(ctx()), StartupResult::Ready);
    EXPECT_EQ(Pane(Control::RichEdit2), std::vector<std::string>{"COM1 Connect OK !!!"});
}

TEST_F(StartupTest, MissingOrUnreadableIniIsReportedAndStartUpGoesOn) {
    const std::string ini = dir.file("Writer.ini");
    const struct {
        bool (*make)(const std::string& path);  // false: not on this system (a FIFO on Windows)
        std::string line;
    } rows[] = {
        {[](const std::string&) { return true; }, "Writer.ini not found in the working directory " + dir.path() + " !!!"},
        {[](const std::string& p) { return std::filesystem::create_directory(p); },
         "Writer.ini in " + dir.path() + " can not be read (is a folder) !!!"},
        {[](const std::string& p) { return test::MakeFifo(p); },
         "Writer.ini in " + dir.path() + " can not be read (is not a regular file) !!!"},
    };
    emulated.FailOpen("");  // no port name: the open fails
    for (const auto& row : rows) {
        SCOPED_TRACE(row.line);
        std::filesystem::remove_all(ini);
        if (!row.make(ini)) continue;
        ClearRecords();
        MakeSession("");
        EXPECT_EQ(RunStartup(ctx()), StartupResult::NoIni);
        EXPECT_EQ(Pane(Control::RichEdit2), (std::vector<std::string>{row.line, " Connect Error (1)!!!"}));
        // The open's box says the same.
        EXPECT_NE(std::find(trace.begin(), trace.end(), "ShowErrorBox ERROR RS232 open error!!!\n" + row.line),
                  trace.end());
        EXPECT_EQ(form.Caption(), "Morvik OTP Writer Version 5.00");
        EXPECT_TRUE(form.Selector(Control::ComboBox1).items.empty());
    }
}

// A Writer.ini that gives no port says why, once in the lower pane and once
// in the box of the open that fails for it.
TEST_F(StartupTest, AWriterIniWithoutAPortSaysWhy) {
    const std::string inDir = "Writer.ini in " + dir.path();
    const std::string name = ": name the writer's port as one of COM1 to COM4 (OTPWRITER_COMn can lead one of them "
                             "to another device) !!!";
    const struct {
        std::string ini;
        std::string line;
    } rows[] = {
        {"", inDir + " is empty (no settings): name the writer's port in it, RS232_PORT COM1 to COM4 !!!"},
        {"// nothing but a comment\r\n\r\n", inDir + " is empty (no settings): name the writer's port in it, "
                                                       "RS232_PORT COM1 to COM4 !!!"},
        {"VERSION 12071000\n", inDir + " has no RS232_PORT line: add one naming the writer's port, COM1 to COM4 !!!"},
        {"RS232_PORT com9\n", "RS232_PORT COM9 in Writer.ini is not a port of this program" + name},
        {"RS232_PORT COM1X\nRS232_PORT #?!\n", "RS232_PORT #?! in Writer.ini is not a port of this program" + name},
        {"RS232_PORT ; COM1\n", "RS232_PORT in Writer.ini names no port" + name},
    };
    emulated.FailOpen("");  // no port name: the open fails
    for (const auto& row : rows) {
        SCOPED_TRACE(row.ini);
        ClearRecords();
        dir.Write("Writer.ini", row.ini);
        MakeSession("");
        EXPECT_EQ(RunStartup(ctx()), StartupResult::NoWriter);
        EXPECT_EQ(Pane(Control::RichEdit2), (std::vector<std::string>{row.line, " Connect Error (1)!!!"}));
        std::vector<std::string> boxes;
        for (const std::string& t : trace)
            if (t.rfind("ShowErrorBox", 0) == 0) boxes.push_back(t);
        EXPECT_EQ(boxes, std::vector<std::string>{"ShowErrorBox ERROR RS232 open error!!!\n" + row.line});
    }
}

class ApplyBodyInfoTest : public ::testing::Test {
protected:
    std::unique_ptr<WriterState> s = std::make_unique<WriterState>();
    FormModel view;
    void Apply(uint8_t flags, uint8_t caps, uint8_t byte13 = 0) {
        s->BodyInfo[0][4] = flags;
        s->BodyInfo[0][8] = caps;
        s->BodyInfo[0][13] = byte13;
        ApplyBodyInfo(*s, view);
    }
};

TEST_F(ApplyBodyInfoTest, TwoBankBodyRefillsTheBankList) {
    EXPECT_EQ(view.Selector(Control::ComboBox5).items[8], "Last Used");
    Apply(0x80, 0x28, 0x20);
    EXPECT_EQ(view.Selector(Control::ComboBox5).items,
              (std::vector<std::string>{"Bank 0", "Bank 1", "Last used", "1st Un-use"}));
    EXPECT_TRUE(view.Enabled(Control::ComboBox5));
    EXPECT_EQ(view.SelectedText(Control::ComboBox5), "Bank 1");
}

TEST_F(ApplyBodyInfoTest, EightBanksAndTheSearchEntries) {
    Apply(0x80, 0x20, 0xE0);
    EXPECT_EQ(view.Selector(Control::ComboBox5).items.size(), 10u);
    EXPECT_EQ(view.Selector(Control::ComboBox5).items[8], "Last used");
    EXPECT_EQ(view.SelectedText(Control::ComboBox5), "Bank 7");
    // Bit 1 of the flags with option bit 3 clear picks item 1.
    Apply(0x82, 0x20, 0xE0);
    EXPECT_EQ(view.GetSelection(Control::ComboBox5), 1);
    s->OptionBytes[0] = 0x08;
    Apply(0x82, 0x20, 0xE0);
    EXPECT_EQ(view.GetSelection(Control::ComboBox5), 7);
}

TEST_F(ApplyBodyInfoTest, NoBankChoiceKeepsTheListAndDisablesIt) {
    Apply(0x80, 0x08, 0x20);  // two banks without the choice: selects the bank
    EXPECT_FALSE(view.Enabled(Control::ComboBox5));
    EXPECT_EQ(view.Selector(Control::ComboBox5).items[8], "Last Used");
    EXPECT_EQ(view.GetSelection(Control::ComboBox5), 1);
    Apply(0x80, 0x00, 0x20);
    EXPECT_EQ(view.GetSelection(Control::ComboBox5), 0);
}

TEST_F(ApplyBodyInfoTest, LockRollingCodeMtpAndTestCode) {
    Apply(0x60, 0xC2);
    EXPECT_TRUE(view.Enabled(Control::ComboBox4));
    EXPECT_EQ(view.SelectedText(Control::ComboBox4), "ON");
    EXPECT_TRUE(view.Enabled(Control::ComboBox3));
    EXPECT_EQ(view.SelectedText(Control::ComboBox3), "ON");
    EXPECT_TRUE(view.MenuVisible(Control::Testcode1));
    EXPECT_TRUE(view.MenuEnabled(Control::Write1));
    EXPECT_EQ(s->ValueDigits, 4);
    Apply(0xE0, 0x04);  // MTP, no lock, no rolling code
    EXPECT_FALSE(view.Enabled(Control::ComboBox4));
    EXPECT_EQ(view.SelectedText(Control::ComboBox4), "OFF");
    EXPECT_EQ(view.SelectedText(Control::ComboBox3), "OFF");
    EXPECT_FALSE(view.Enabled(Control::Button1));
    EXPECT_FALSE(view.Enabled(Control::Button2));
    EXPECT_FALSE(view.MenuEnabled(Control::Write1));
    EXPECT_FALSE(view.MenuVisible(Control::Testcode1));
    EXPECT_EQ(s->RowWidth, 16);
}

TEST_F(ApplyBodyInfoTest, BodyIndexSelectsTheBody) {
    view.AddChoice(Control::ComboBox1, "A");
    view.AddChoice(Control::ComboBox1, "B");
    s->BodyInfo[0][1] = 1;
    ApplyBodyInfo(*s, view);
    EXPECT_EQ(view.GetFieldText(Control::ComboBox1), "B");
    s->BodyInfo[0][1] = 7;  // not in the list: nothing selected
    ApplyBodyInfo(*s, view);
    EXPECT_EQ(view.GetSelection(Control::ComboBox1), -1);
}

class VersionTest : public test::OperationTest {};

TEST_F(VersionTest, ShowsTheLowDigitOfEachByte) {
    writer->WriteMemory(0x0400, {0x01, 0x02, 0x00, 0x07, 0x31, 0xF0, 0x00, 0x0A});
    MakeSession();
    form.AppendLine(Control::RichEdit1, "kept");
    EXPECT_EQ(Version1Click(ctx()), Outcome::Done);
    EXPECT_EQ(Pane(Control::RichEdit2),
              (std::vector<std::string>{"Version : 1207100A", "Receiver Data Length = 8 bytes"}));
    EXPECT_EQ(Pane(Control::RichEdit1).back(), "kept");
    EXPECT_EQ(wire.drains, std::vector<int64_t>{50 + 9 + 100});
}

TEST_F(VersionTest, SilentWriterStillWritesBothLines) {
    MakeSession();
    writer->SetCommand(0x57, {});
    EXPECT_EQ(Version1Click(ctx()), Outcome::Failed);
    EXPECT_EQ(Pane(Control::RichEdit2), (std::vector<std::string>{"Version : ", "Receiver Data Length = 0 bytes"}));
}
