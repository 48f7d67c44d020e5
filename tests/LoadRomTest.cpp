// Load ROM File: the file into the state, the panes' log, and the download
// with its read-backs against the emulated writer.
#include <gtest/gtest.h>

#include <filesystem>

#include "RomFixture.h"
#include "romfile/LoadRomFile.h"
#include "romfile/RomDamage.h"
#include "romfile/RomFormat.h"
#include "WireRequests.h"

using namespace otp;

using otp::test::BlockReadRequest;

namespace {

const char kLoadIni[] =
    "VERSION 12071000 V5.00\n"
    "RS232_PORT COM1\n"
    "IC_BODY_START\n"
    "BODY RX4400\n"
    "INFO $A5,0,0,0,$80,0,4,0,$80\n"
    "// body 1 answers to three names\n"
    "BODY B32 ALIAS1 ALIAS2\n"
    "OFFSET $0100\n"
    "INFO $A5,1,0,0,$80,32,0,0,$80\n"
    "BODY W8\n"
    "INFO $A5,2,0,0,$40,8,0,0,0\n"
    "IC_BODY_END\n";

// ByteMode, 32 values 00..1F from address 0, option bytes 01..08.
std::string File32(const std::string& body = "B32") {
    return "Text copied from Writer.ini\r\n"
           "BODY " + body + "\r\n"
           "OPTION END\r\n"
           "MORVIK_BYTE 0102030405060708\r\n"
           "MORVIK_SUM 0024\r\n"
           "MORVIK_TOTAL 0214\r\n"
           "ROM START\r\nBANK 0\r\nSTARTADR 0000\r\nENDADR 001F\r\nLENGTH 32 BYTE\r\n"
           "0000  00 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F \r\n"
           "0010  10 11 12 13 14 15 16 17 18 19 1A 1B 1C 1D 1E 1F \r\n"
           "CHECKSUM 01F0\r\nBANK 0 END\r\nROM END\r\nBoard SW Version 0001\r\n";
}


void Append(std::vector<uint8_t>& to, const std::vector<uint8_t>& bytes) { to.insert(to.end(), bytes.begin(), bytes.end()); }

}  // namespace

class LoadRomTest : public test::RomOperationTest {
protected:
    void SetUp() override { StartWith(kLoadIni); }

    Outcome Load(const std::string& name, const std::string& content) {
        dir.Write(name, content);
        form.openFiles.push_back(dir.file(name));
        return LoadROMFile1Click(ctx());
    }

    int CountSent(uint8_t byte) const {
        int n = 0;
        for (uint8_t b : SentBytes()) n += b == byte;
        return n;
    }
};

// ---------------------------------------------------------------- a good load

TEST_F(LoadRomTest, ThirtyTwoValuesLogInBothPanes) {
    EXPECT_EQ(Load("b32.rom", File32()), Outcome::Done);
    EXPECT_EQ(Pane(Control::RichEdit1),
              (std::vector<std::string>{"0000: 01 02 03 04 05 06 07 08 00 00 00 00 00 00 00 00 ",
                                        "Option Checksum =0024",
                                        "0000: 00 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F ",
                                        "0010: 10 11 12 13 14 15 16 17 18 19 1A 1B 1C 1D 1E 1F ",
                                        "Object Checksum =01F0"}));
    EXPECT_EQ(Pane(Control::RichEdit2),
              (std::vector<std::string>{// option byte 0 bit 0 set: BodyFlags bit 6 is sent set;
                                        // bytes 2-3 are the checksum the writer keeps
                                        "0000: A5 01 D6 31 C0 20 00 00 80 00 00 00 00 00 00 00 ",
                                        "Receiver Data Length = 16 bytes",
                                        "0000: 01 02 03 04 05 06 07 08 00 00 00 00 00 00 00 00 ",
                                        "Receiver Data Length = 16 bytes", "Option Checksum =0024",
                                        // the read-back is labelled from the body's OFFSET
                                        "0100: 00 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F ",
                                        "0110: 10 11 12 13 14 15 16 17 18 19 1A 1B 1C 1D 1E 1F ",
                                        "Receiver Data Length = 32 bytes", "Object Checksum =01F0"}));
    EXPECT_EQ(form.Field(Control::Edit1), "0214");
    EXPECT_EQ(form.Field(Control::Edit2), "b32.rom");
    EXPECT_EQ(form.Selector(Control::ComboBox1).selection, 1);
    EXPECT_TRUE(TraceOf("ShowErrorBox").empty());
    EXPECT_TRUE(TraceOf("ShowNotice").empty());
    // The writer holds what was sent.
    EXPECT_EQ(writer->ReadMemory(0x7F80, 8), (std::vector<uint8_t>{1, 2, 3, 4, 5, 6, 7, 8}));
    EXPECT_EQ(writer->Peek(0x4000 + 31), 0x1F);
    EXPECT_EQ(state().ObjectLength, 32);
    EXPECT_EQ(state().OptionChecksum, 0x24);
    EXPECT_EQ(state().ObjectChecksum, 0x1F0);
    EXPECT_FALSE(ctx().link.PortHandle);
}

TEST_F(LoadRomTest, DownloadPutsItsStepsOnTheWireWithTheirWaits) {
    Load("b32.rom", File32());
    std::vector<uint8_t> expected = {0x75, 0xA5, 0x01, 0x00, 0x00, 0xC0, 0x20, 0x00, 0x00,
                                     0x80, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00};
    // The description is read twice: the host takes it over.
    Append(expected, BlockReadRequest(0x7F90, 16));
    Append(expected, BlockReadRequest(0x7F90, 16));
    Append(expected, {0x77, 1, 2, 3, 4, 5, 6, 7, 8, 0, 0, 0, 0, 0, 0, 0, 0});
    Append(expected, BlockReadRequest(0x7F80, 16));
    expected.push_back(0x6D);
    for (uint8_t v = 0; v < 32; ++v) expected.push_back(v);
    Append(expected, BlockReadRequest(0x4000, 32));
    // The body description and option bytes once more, after the stream.
    Append(expected, BlockReadRequest(0x7F90, 16));
    Append(expected, BlockReadRequest(0x7F80, 16));
    EXPECT_EQ(SentBytes(), expected);
    ASSERT_FALSE(wire.sent.empty());
    const int64_t t0 = wire.sent[0].ms;
    // u: 5 ms, 16 bytes of 1 ms, 100 ms; block read: 8 bytes of 1 ms, 100 ms;
    // w: 1 ms + 16, 50 ms; m: 1 ms + 32, 32 / 4 ms.
    std::vector<int64_t> drains;
    for (int64_t d : wire.drains) drains.push_back(d - t0);
    // Each wait before a drain starts when the bytes before it have left the
    // port: a block request takes 8.33 ms on the line, the 33 bytes of the
    // stream 34.4 ms.
    EXPECT_EQ(drains, (std::vector<int64_t>{230, 339, 515, 667, 776, 885}));
    EXPECT_EQ(wire.sent[17].ms - t0, 121);  // the first block read starts after the 100 ms
    EXPECT_EQ(wire.opens, 1);
}

TEST_F(LoadRomTest, LineFeedOnlyFileLoadsTheSame) {
    std::string lf;
    for (char c : File32())
        if (c != '\r') lf += c;
    // The writer's checksum in the first read-back (bytes 2-3) describes what
    // it held before: the first load's and the second's differ there.
    const auto withoutChecksum = [](std::vector<std::string> lines) {
        if (!lines.empty()) lines[0].replace(12, 5, "-- --");
        return lines;
    };
    Load("a.rom", File32());
    const auto upper = Pane(Control::RichEdit1);
    const auto lower = withoutChecksum(Pane(Control::RichEdit2));
    const auto bytes = SentBytes();
    ClearRecords();
    Load("b.rom", lf);
    EXPECT_EQ(Pane(Control::RichEdit1), upper);
    EXPECT_EQ(withoutChecksum(Pane(Control::RichEdit2)), lower);
    EXPECT_EQ(SentBytes(), bytes);
}

TEST_F(LoadRomTest, ClearedLockBitIsSentClear) {
    // W8's row has BodyFlags bit 6 set in Writer.ini; option byte 0 bit 0 is clear.
    Load("w8.rom",
         "BODY W8\nMORVIK_BYTE 0200000000000000\nSTARTADR 0000\nLENGTH 8 WORD\n"
         "0000  1234  5678  9ABC  DEF0  0001  0002  0003  0004  \nCHECKSUM E262\n");
    const auto sent = SentBytes();
    ASSERT_GE(sent.size(), 17u);
    EXPECT_EQ(sent[5], 0x00);
    // WordMode: low byte, then high byte.
    const std::vector<uint8_t> stream = SentAfter(0x6D, 5);
    EXPECT_EQ(stream, (std::vector<uint8_t>{0x6D, 0x34, 0x12, 0x78, 0x56}));
    EXPECT_EQ(state().ValueDigits, 4);
    EXPECT_EQ(Pane(Control::RichEdit1)[2], "0000: 1234 5678 9ABC DEF0 0001 0002 0003 0004 ");
    EXPECT_EQ(Pane(Control::RichEdit2)[6], "Receiver Data Length = 16 bytes");
    EXPECT_EQ(form.Selector(Control::ComboBox1).selection, 2);
}

TEST_F(LoadRomTest, BodyIsFoundByAnyOfItsNames) {
    EXPECT_EQ(Load("alias.rom", File32("alias2")), Outcome::Done);
    EXPECT_EQ(form.Selector(Control::ComboBox1).selection, 1);
    EXPECT_EQ(TraceOf("SetSelection ComboBox1").front(), "SetSelection ComboBox1 1");
}

TEST_F(LoadRomTest, PositionCountsBodyLinesOutsideTheBodyList) {
    // A BODY line above the body list moves every position by one.
    dir.Write("Writer.ini", std::string("BODY OLD\n") + kLoadIni);
    Load("b32.rom", File32("RX4400"));
    EXPECT_EQ(TraceOf("SetSelection ComboBox1").front(), "SetSelection ComboBox1 1");
}

TEST_F(LoadRomTest, TwoLengthSectionsMakeTwoDownloads) {
    EXPECT_EQ(Load("two.rom",
                   "BODY B32\nMORVIK_BYTE 00\nSTARTADR 0000\nLENGTH 32 BYTE\n"
                   "0000  01 01 01 01 01 01 01 01 01 01 01 01 01 01 01 01 \n"
                   "0010  01 01 01 01 01 01 01 01 01 01 01 01 01 01 01 01 \nCHECKSUM 0020\n"
                   "STARTADR 0100\nLENGTH 32 BYTE\n0110  02 03\nCHECKSUM\n"),
              Outcome::Done);
    EXPECT_EQ(CountSent(0x6D), 2);
    EXPECT_EQ(CountSent(0x75), 2);
    EXPECT_EQ(wire.opens, 2);
    // The second section's values land at 0x110 - 0x100 = 16.
    EXPECT_EQ(state().RomImage[16], 2);
    EXPECT_EQ(writer->Peek(0x4000 + 17), 3);
    const auto& upper = Pane(Control::RichEdit1);
    EXPECT_EQ(upper[upper.size() - 3], "0100: 01 01 01 01 01 01 01 01 01 01 01 01 01 01 01 01 ");
    EXPECT_EQ(upper.back(), "Object Checksum =0023");
}

TEST_F(LoadRomTest, DamagedFilesAreTakenOnlyWhenTheOperatorSaysSo) {
    const std::string head = "BODY B32\nMORVIK_BYTE 0102\nSTARTADR 0000\nLENGTH 32 BYTE\n";
    const std::string rows = "0000  00 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F \n"
                             "0010  10 11 12 13 14 15 16 17 18 19 1A 1B 1C 1D 1E 1F \n";
    struct Case {
        const char* what;
        std::string file;
        std::string damage;
        Outcome anyway;  // the load's verdict when the operator says Yes (the writer holds what was sent)
    };
    const Case cases[] = {
        {"no data section", "BODY B32\nMORVIK_BYTE A0B0\n", "no LENGTH line", Outcome::Failed},
        {"cut inside the data", head + rows.substr(0, 60), "the data section ends without its CHECKSUM line",
         Outcome::Done},
        {"object sum differs", head + rows + "CHECKSUM 01F1\n", "CHECKSUM 01F1 but the data sum to 01F0",
         Outcome::Done},
        {"option sum differs", "BODY B32\nMORVIK_BYTE 0102\nMORVIK_SUM 0004\nSTARTADR 0000\nLENGTH 32 BYTE\n" + rows +
                                   "CHECKSUM 01F0\n",
         "MORVIK_SUM 0004 but the option bytes sum to 0003", Outcome::Done},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const auto options = state().OptionBytes;
        const auto image = state().RomImage;
        const int selection = form.Selector(Control::ComboBox1).selection;
        const std::string question = "The ROM file [bad.rom] is damaged (" + c.damage + "): load it anyway?";
        ClearRecords();
        form.loadDamagedAnswer = false;
        form.yesAnswer = true;  // the program's own confirmations do not load a damaged file
        EXPECT_EQ(Load("bad.rom", c.file), Outcome::Refused);
        EXPECT_EQ(TraceOf("AskLoadDamaged"), std::vector<std::string>{"AskLoadDamaged " + question + " -> no"});
        EXPECT_TRUE(TraceOf("AskYesNo").empty());
        EXPECT_EQ(wire.opens, 0);
        EXPECT_TRUE(Pane(Control::RichEdit1).empty());
        EXPECT_EQ(state().OptionBytes, options);
        EXPECT_EQ(state().RomImage, image);
        EXPECT_EQ(form.Selector(Control::ComboBox1).selection, selection);

        form.loadDamagedAnswer = true;
        EXPECT_EQ(Load("bad.rom", c.file), c.anyway);
    }
    // Taken anyway without data: nothing reaches the writer, and the step fails.
    EXPECT_EQ(Load("opt.rom", "BODY B32\nMORVIK_BYTE A0B0\n"), Outcome::Failed);
    EXPECT_EQ(Pane(Control::RichEdit1),
              (std::vector<std::string>{"0000: A0 B0 00 00 00 00 00 00 00 00 00 00 00 00 00 00 ",
                                        "Option Checksum =0150"}));
    EXPECT_EQ(Pane(Control::RichEdit2),
              std::vector<std::string>{"  -----> No data section in [opt.rom], nothing sent to the writer !!!"});
}

TEST_F(LoadRomTest, SavedFilesPassTheCheck) {
    for (const char* name : {"byte32.rom", "byte32-marked.rom", "rx4400.rom", "rx4720.rom", "word20.rom"}) {
        SCOPED_TRACE(name);
        TextLines lines(Golden(name));
        ASSERT_TRUE(FindRomBody(lines));
        EXPECT_EQ(RomFileDamage(lines, state()), "");
    }
    TextLines demo(test::ReadSource("examples/demo-rx4400.rom"));
    ASSERT_TRUE(FindRomBody(demo));
    EXPECT_EQ(RomFileDamage(demo, state()), "");
}

TEST_F(LoadRomTest, OptionBytesAfterTheLengthAreNotSent) {
    for (size_t i = 0; i < 16; ++i) state().OptionBytes[i] = 0x11;
    Load("late.rom", "BODY B32\nSTARTADR 0000\nLENGTH 32 BYTE\n0000  00\nCHECKSUM\nMORVIK_BYTE 2200\n");
    const std::vector<uint8_t> options = SentAfter(0x77, 17);
    EXPECT_EQ(options, (std::vector<uint8_t>{0x77, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11,
                                             0x11, 0x11, 0x11, 0x11, 0x11, 0x11}));
    // Bit 0 of the old option byte 0 sets the lock bit.
    EXPECT_EQ(SentBytes()[5], 0xC0);
    EXPECT_EQ(state().OptionBytes[0], 0x22);
    EXPECT_EQ(Pane(Control::RichEdit1).back(), "Option Checksum =0022");
}

// ---------------------------------------------------------------- failures of the download

TEST_F(LoadRomTest, ShortFileMakesTheReadBackDiffer) {
    // LENGTH 16 of a 32-value body: the writer's values beyond 16 are
    // compared with what RomImage held there.
    for (size_t i = 16; i < 32; ++i) state().RomImage[i] = 0x00;
    EXPECT_EQ(Load("short.rom", "BODY B32\nSTARTADR 0000\nLENGTH 16 BYTE\n"
                                "0000  00 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F \nCHECKSUM\n"),
              Outcome::Failed);
    EXPECT_EQ(TraceOf("ShowErrorBox"),
              std::vector<std::string>{"ShowErrorBox Download error Please check download code & read back code"});
    // The writer, still waiting for image bytes, takes the read-back request
    // as more of them.
    const auto& lower = Pane(Control::RichEdit2);
    EXPECT_EQ(lower[lower.size() - 3], "Receiver Data Length = 32 bytes");
    EXPECT_EQ(lower.back(), "  -----> Download error: 0 of 32 bytes received !!!");
    EXPECT_EQ(CountSent(0x6D), 1);
    EXPECT_EQ(state().ObjectLength, 16);
}

TEST_F(LoadRomTest, SilentWriterFailsButTheLoadGoesToItsEnd) {
    writer->SetCommand(0x57, {});
    EXPECT_EQ(Load("b32.rom", File32()), Outcome::Failed);
    const auto& lower = Pane(Control::RichEdit2);
    ASSERT_GE(lower.size(), 3u);
    EXPECT_EQ(lower[0], "");
    EXPECT_EQ(lower[1], "Receiver Data Length = 0 bytes");
    EXPECT_EQ(lower[lower.size() - 2].substr(0, 17), "Object Checksum =");
    EXPECT_EQ(lower.back(), "  -----> Download error: 0 of 32 bytes received !!!");
    // Row 0 keeps the copy sent to the writer.
    EXPECT_EQ(state().BodyInfo[0][4], 0xC0);
    EXPECT_EQ(form.Field(Control::Edit1), "0214");
}

TEST_F(LoadRomTest, PortThatDoesNotOpenFails) {
    emulated.FailOpen("COM1");
    EXPECT_EQ(Load("b32.rom", File32()), Outcome::Failed);
    EXPECT_EQ(TraceOf("ShowErrorBox").front(), "ShowErrorBox ERROR RS232 open error!!!");
    EXPECT_TRUE(wire.sent.empty());
}

// ---------------------------------------------------------------- files that are not loaded

TEST_F(LoadRomTest, CancelledDialogDoesNothing) {
    EXPECT_EQ(LoadROMFile1Click(ctx()), Outcome::Done);
    EXPECT_EQ(trace, (std::vector<std::string>{"ClearPane RichEdit1", "ClearPane RichEdit2", "ChooseOpenFile -> cancelled"}));
}

TEST_F(LoadRomTest, MissingFileIsReportedInTheLowerPane) {
    view.SetFieldText(Control::Edit2, "old.rom");
    ClearRecords();
    form.openFiles.push_back(dir.file("missing.rom"));
    EXPECT_EQ(LoadROMFile1Click(ctx()), Outcome::Failed);
    EXPECT_EQ(trace, (std::vector<std::string>{"ClearPane RichEdit1", "ClearPane RichEdit2",
                                               "ChooseOpenFile -> " + dir.file("missing.rom"), "ClearPane RichEdit2",
                                               "AppendLine RichEdit2 File no found !!!"}));
    EXPECT_EQ(form.Field(Control::Edit2), "old.rom");
}

TEST_F(LoadRomTest, FileWithoutBodyLineIsRefused) {
    const int selection = form.Selector(Control::ComboBox1).selection;
    EXPECT_EQ(Load("nobody.rom", "MORVIK_BYTE 0102\n// BODY B32\nSTARTADR 0000\nLENGTH 1 BYTE\n0000  05\n"),
              Outcome::Refused);
    EXPECT_EQ(TraceOf("ShowNotice"), std::vector<std::string>{"ShowNotice Body not found in ROM file!!! "});
    EXPECT_EQ(form.Field(Control::Edit2), "nobody.rom");
    EXPECT_EQ(form.Selector(Control::ComboBox1).selection, selection);
    EXPECT_NE(state().OptionBytes[1], 0x02);
    EXPECT_EQ(wire.opens, 0);
}

TEST_F(LoadRomTest, BodyThatWriterIniDoesNotListOrDescribeIsRefused) {
    std::string noLength = kLoadIni;
    noLength.insert(noLength.find("IC_BODY_END"), "BODY NOLEN\nINFO $A5,3,0\n");
    const struct {
        std::string ini, body;
        std::vector<std::string> selections;  // what the load selects
        int selected;                         // the selection afterwards
        std::string notice;
    } rows[] = {
        // The count of BODY lines is past the last item: nothing is selected.
        {kLoadIni, "RX9999", {"SetSelection ComboBox1 3"}, -1, "ShowNotice The Body not support !!! "},
        // Its row gives an image length of 0: the selection stays.
        {noLength, "NOLEN", {}, 0, "ShowNotice The body is not available !!!"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.body);
        view.ClearChoices(Control::ComboBox1);
        StartWith(row.ini);
        const auto image = state().RomImage;
        EXPECT_EQ(Load("other.rom", File32(row.body)), Outcome::Refused);
        EXPECT_EQ(TraceOf("SetSelection ComboBox1"), row.selections);
        EXPECT_EQ(form.Selector(Control::ComboBox1).selection, row.selected);
        EXPECT_EQ(TraceOf("ShowNotice"), std::vector<std::string>{row.notice});
        EXPECT_EQ(state().RomImage, image);
        EXPECT_EQ(wire.opens, 0);
    }
}

TEST_F(LoadRomTest, UnreadableWriterIniStopsTheLoad) {
    std::filesystem::remove(dir.file("Writer.ini"));
    EXPECT_EQ(Load("b32.rom", File32()), Outcome::Failed);
    EXPECT_EQ(TraceOf("ShowNotice"),
              std::vector<std::string>{"ShowNotice Can not read [" + state().IniPath +
                                       "] (No such file or directory), load stopped !!!"});
    EXPECT_TRUE(TraceOf("SetSelection").empty());
    EXPECT_EQ(wire.opens, 0);
}

TEST_F(LoadRomTest, FolderInsteadOfAFileStopsTheLoad) {
    std::filesystem::create_directory(dir.file("folder.rom"));
    form.openFiles.push_back(dir.file("folder.rom"));
    EXPECT_EQ(LoadROMFile1Click(ctx()), Outcome::Failed);
    EXPECT_EQ(TraceOf("ShowNotice"),
              std::vector<std::string>{"ShowNotice Can not read [" + dir.file("folder.rom") +
                                       "] (is a folder), load stopped !!!"});
}

// ---------------------------------------------------------------- the image's bounds

TEST_F(LoadRomTest, LengthBeyondTheImageIsRefusedWithItsReason) {
    state().ObjectLength = 77;
    EXPECT_EQ(Load("big.rom", "BODY B32\nMORVIK_BYTE 01\nSTARTADR 0000\nLENGTH 9000 BYTE\n0000  01 02\nCHECKSUM\n"),
              Outcome::Refused);
    EXPECT_EQ(TraceOf("ShowNotice"),
              std::vector<std::string>{
                  "ShowNotice LENGTH 9000 does not fit the 8192 values of the ROM image, load stopped !!!"});
    EXPECT_EQ(state().ObjectLength, 77);
    EXPECT_NE(state().RomImage[1], 2);
    EXPECT_EQ(wire.opens, 0);
    // The option bytes before it were taken and shown.
    EXPECT_EQ(Pane(Control::RichEdit1).back(), "Option Checksum =0001");
}

TEST_F(LoadRomTest, ValuesOutsideTheImageAreIgnoredAndCounted) {
    EXPECT_EQ(Load("outside.rom", "BODY B32\nSTARTADR 0100\nLENGTH 32 BYTE\n"
                                  "00F0  AA BB\n0100  00 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F \n"
                                  "0110  10 11 12 13 14 15 16 17 18 19 1A 1B 1C 1D 1E 1F \nCHECKSUM\n"),
              Outcome::Failed);
    const auto& upper = Pane(Control::RichEdit1);
    ASSERT_EQ(upper.size(), 4u);
    EXPECT_EQ(upper[0], "0100: 00 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F ");
    EXPECT_EQ(upper[3], "  -----> 2 values outside the ROM image ignored !!!");
    // The values inside were downloaded and read back without a difference.
    EXPECT_TRUE(TraceOf("ShowErrorBox").empty());
    EXPECT_EQ(CountSent(0x6D), 1);
}
