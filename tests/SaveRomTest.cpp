// Save ROM File: golden files byte for byte, the option text taken from
// Writer.ini, and the saves that must not happen or must not harm.
#include <gtest/gtest.h>

#include <signal.h>
#ifndef _WIN32
#include <sys/resource.h>
#endif

#include <filesystem>

#include "RomFixture.h"
#include "config/WriterIni.h"
#include "romfile/SaveRomFile.h"

using namespace otp;

class SaveRomTest : public test::RomOperationTest {
protected:
    // Saves with `name` picked in the dialog; the file's bytes.
    std::string SaveAs(const std::string& name, Outcome expected = Outcome::Done) {
        form.saveFiles.push_back(dir.file(name));
        EXPECT_EQ(SaveROMFile1Click(ctx()), expected);
        return dir.Read(name);
    }

    void ByteImage32() {
        for (int i = 0; i < 32; ++i) state().RomImage[static_cast<size_t>(i)] = (i * 5 + 1) & 0xFF;
    }

    // Reads `iniText` as Writer.ini, selects body `body` and saves; returns
    // the file's text up to its MORVIK_BYTE line.
    std::string OptionBlockFor(const std::string& iniText, int body = 0) {
        dir.Write("Writer.ini", iniText);
        ReadWriterIni(state(), view, dir.path());
        SelectBody(body);
        const std::string text = SaveAs("opt.rom");
        // Read back with plain line feeds.
        std::string block;
        for (size_t i = 0; i < text.find("MORVIK_BYTE"); ++i)
            if (!(text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')) block += text[i];
        return block;
    }
};

// ---------------------------------------------------------------- golden files

TEST_F(SaveRomTest, ByteModeOf32ValuesMatchesItsGoldenFile) {
    StartWith(GoldenIni());
    SelectBody(0);
    SetOptionBytes({0x01, 0x23, 0x45, 0x67, 0x89, 0xAB, 0xCD, 0xEF, 0x99, 0x99, 0x99, 0x99, 0x99, 0x99, 0x99, 0x99});
    ByteImage32();
    state().RomImage[32] = 0x42;  // beyond the body's length: not written
    state().ObjectLength = 1000;

    EXPECT_EQ(SaveAs("out.rom"), Golden("byte32.rom"));
    EXPECT_EQ(Pane(Control::RichEdit2), std::vector<std::string>{"Data save to [out.rom] OK !!!"});
    EXPECT_TRUE(Pane(Control::RichEdit1).empty());
    EXPECT_EQ(form.Field(Control::Edit2), "out.rom");
    // The state now describes what was saved: option bytes 0-7 only.
    EXPECT_EQ(state().ObjectLength, 32);
    EXPECT_EQ(state().OptionChecksum, 0x01 + 0x23 + 0x45 + 0x67 + 0x89 + 0xAB + 0xCD + 0xEF);
    EXPECT_EQ(state().ObjectChecksum, 0x09D0);
    // Saving does not talk to the writer.
    EXPECT_EQ(wire.opens, 0);
    EXPECT_TRUE(wire.sent.empty());
}

TEST_F(SaveRomTest, MarkedAddressFormMatchesItsGoldenFile) {
    StartWith(GoldenIni());
    SelectBody(0);
    SetOptionBytes({0x10, 0x23, 0x45, 0x67, 0x89, 0xAB, 0xCD, 0xEF});
    ByteImage32();
    EXPECT_EQ(SaveAs("marked.rom"), Golden("byte32-marked.rom"));
}

TEST_F(SaveRomTest, WordModeWithIncompleteLastRowMatchesItsGoldenFile) {
    StartWith(GoldenIni());
    // The host was in ByteMode; the body's row 0 decides the layout.
    SetLayout(state(), true);
    SelectBody(1);
    SetOptionBytes({0x00, 0x5A, 0, 0, 0, 0, 0, 0x07});
    for (int k = 0; k < 20; ++k) state().RomImage[static_cast<size_t>(k)] = 0x1000 + k * 0x111;
    EXPECT_EQ(SaveAs("word.rom"), Golden("word20.rom"));
    EXPECT_EQ(state().ValueDigits, 4);
    EXPECT_EQ(state().RowWidth, 8);
}

TEST_F(SaveRomTest, RX4400MatchesItsGoldenFile) {
    StartWith(GoldenIni());
    SelectBody(2);
    SetOptionBytes({0, 0, 0, 0, 0, 0, 0, 0});
    for (int k = 0; k < 40; ++k) state().RomImage[static_cast<size_t>(k)] = 0xFF - k;
    EXPECT_EQ(SaveAs("rx4400.rom"), Golden("rx4400.rom"));
}

TEST_F(SaveRomTest, RX4720WithoutBoardLinesMatchesItsGoldenFile) {
    StartWith(GoldenIni());
    SelectBody(3);
    SetOptionBytes({0x01, 0x81, 0, 0, 0, 0, 0, 0});
    for (int k = 0; k < 16; ++k) state().RomImage[static_cast<size_t>(k)] = k * 0x0101;
    EXPECT_EQ(SaveAs("rx4720.rom"), Golden("rx4720.rom"));
}

// ---------------------------------------------------------------- option text

TEST_F(SaveRomTest, BodyWithoutSectionTakesTheNextOne) {
    StartWith("");
    EXPECT_EQ(OptionBlockFor("IC_BODY_START\nBODY A\nINFO 0\nBODY B\nOPT\n0 00 00 BODY B\n0 00 00 OPTION END\n"
                             "BODY C\nOPT\n0 00 00 BODY C\n0 00 00 OPTION END\nIC_BODY_END\n"),
              "BODY B\nOPTION END\n");
}

TEST_F(SaveRomTest, SearchStartsAtTheFirstLineWhoseSecondWordIsTheBody) {
    StartWith("");
    // The LABEL line names A before the body list does; the OPT after it is taken.
    EXPECT_EQ(OptionBlockFor("LABEL A\nOPT\n0 00 00 EARLY TEXT\n0 00 00 OPTION END\n"
                             "IC_BODY_START\nBODY A\nOPT\n0 00 00 BODY A\n0 00 00 OPTION END\nIC_BODY_END\n"),
              "EARLY TEXT\nOPTION END\n");
}

TEST_F(SaveRomTest, NoMatchingBodyGivesAnEmptyBlock) {
    StartWith("");
    dir.Write("Writer.ini", "IC_BODY_START\nBODY A\nIC_BODY_END\n");
    ReadWriterIni(state(), view, dir.path());
    SelectBody(0);
    dir.Write("Writer.ini", "IC_BODY_START\nBODY Z\nOPT\n0 00 00 BODY Z\n0 00 00 OPTION END\nIC_BODY_END\n");
    const std::string text = SaveAs("opt.rom");
    EXPECT_EQ(text.substr(0, 12), "MORVIK_BYTE ");
}

TEST_F(SaveRomTest, RulesFollowTheOptionBytesAndKeepTheirCase) {
    StartWith("");
    SetOptionBytes({0x05, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00});
    EXPECT_EQ(OptionBlockFor("IC_BODY_START\nBODY A\nOPT\n"
                             "0 00 00 Body a\n"
                             "0 05 05 Both bits\n"
                             "0 05 01 Bit 0 only\n"
                             "  0   04   04   Spaced   text  \n"
                             "f ff 00 Fifteen is an option byte\n"
                             "10 00 00 Sixteen never holds\n"
                             "0 00 00 option end lower case is a rule\n"
                             "0 00 00 OPTION END\nIC_BODY_END\n"),
              "Body a\nBoth bits\nSpaced   text  \nFifteen is an option byte\noption end lower case is a rule\n"
              "OPTION END\n");
}

TEST_F(SaveRomTest, DisableSwitchLeavesOutTheRulesAfterIt) {
    StartWith("");
    const std::string ini =
        "IC_BODY_START\nBODY A\nOPT\n0 00 00 BODY A\n"
        "1 80 80 if###disable\n"
        "0 00 00 SWITCHED 1\n"
        "1 40 40 if###disable\n"
        "0 00 00 SWITCHED 2\n"
        "1 80 00   if###disable  \n"
        "0 00 00 AFTER 3\n"
        "1 80 80 if###disable\n"
        "0 00 00 OPTION END\nIC_BODY_END\n";
    // Bit 7 set: off up to the bit-6 switch, which (not holding) turns it
    // on again, as does the third; the last one holds, and OPTION END is
    // written all the same.
    SetOptionBytes({0, 0x80});
    EXPECT_EQ(OptionBlockFor(ini), "BODY A\nSWITCHED 2\nAFTER 3\nOPTION END\n");
    // Bit 7 clear: the first two switches do not hold, the third does.
    SetOptionBytes({0, 0x00});
    EXPECT_EQ(OptionBlockFor(ini), "BODY A\nSWITCHED 1\nSWITCHED 2\nOPTION END\n");
    // Bits 7 and 6: each switch sets the state anew, none nests.
    SetOptionBytes({0, 0xC0});
    EXPECT_EQ(OptionBlockFor(ini), "BODY A\nAFTER 3\nOPTION END\n");
}

TEST_F(SaveRomTest, CommentInARuleJoinsItsTextToTheNextLine) {
    StartWith("");
    EXPECT_EQ(OptionBlockFor("IC_BODY_START\nBODY A\nOPT\n0 00 00 BODY A ; the body\n0 00 00 LOCK // lock\n"
                             "0 00 00 NEXT\n0 00 00 OPTION END\nIC_BODY_END\n"),
              "BODY A LOCK NEXT\nOPTION END\n");
}

TEST_F(SaveRomTest, SectionRunningToTheEndOfWriterIniWithoutLineEnd) {
    StartWith("");
    // No OPTION END: every line up to the end is a rule, the last one has
    // no line end, and MORVIK_BYTE follows on the same line.
    dir.Write("Writer.ini", "IC_BODY_START\nBODY A\nIC_BODY_END\nOPT\n0 00 00 FIRST\n0 00 00 LAST");
    ReadWriterIni(state(), view, dir.path());
    SelectBody(0);
    SetOptionBytes({0, 0, 0, 0, 0, 0, 0, 0});
    const std::string text = SaveAs("opt.rom");
    EXPECT_EQ(text.substr(0, 39), "FIRST\r\nLASTMORVIK_BYTE 0000000000000000");
}

TEST_F(SaveRomTest, CrLfWriterIniGivesTheSameFile) {
    StartWith(GoldenIni());
    SelectBody(0);
    ByteImage32();
    SetOptionBytes({0x01, 0x23, 0x45, 0x67, 0x89, 0xAB, 0xCD, 0xEF});
    std::string crlf;
    for (char c : GoldenIni()) crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
    dir.Write("Writer.ini", crlf);
    EXPECT_EQ(SaveAs("out.rom"), Golden("byte32.rom"));
}

// ---------------------------------------------------------------- refusals and failures

TEST_F(SaveRomTest, NoBodySelectedIsRefusedBeforeTheDialog) {
    StartWith(GoldenIni());
    view.SetSelection(Control::ComboBox1, -1);
    ClearRecords();
    form.saveFiles.push_back(dir.file("none.rom"));
    EXPECT_EQ(SaveROMFile1Click(ctx()), Outcome::Refused);
    EXPECT_EQ(trace, (std::vector<std::string>{"ClearPane RichEdit1", "ClearPane RichEdit2",
                                               "ShowNotice No Body selected, ROM file not saved !!!"}));
    EXPECT_FALSE(std::filesystem::exists(dir.file("none.rom")));
    EXPECT_EQ(form.saveFiles.size(), 1u);  // the dialog never opened
}

TEST_F(SaveRomTest, CancelledDialogChangesNothing) {
    StartWith(GoldenIni());
    SelectBody(0);
    view.SetFieldText(Control::Edit2, "before.rom");
    const int length = state().ObjectLength;
    ClearRecords();
    EXPECT_EQ(SaveROMFile1Click(ctx()), Outcome::Done);
    EXPECT_EQ(trace, (std::vector<std::string>{"ClearPane RichEdit1", "ClearPane RichEdit2", "ChooseSaveFile -> cancelled"}));
    EXPECT_EQ(form.Field(Control::Edit2), "before.rom");
    EXPECT_EQ(state().ObjectLength, length);
}

TEST_F(SaveRomTest, MissingWriterIniStopsTheSaveAndKeepsTheOldFile) {
    StartWith(GoldenIni());
    SelectBody(0);
    dir.Write("keep.rom", "old contents");
    std::filesystem::remove(dir.file("Writer.ini"));
    SaveAs("keep.rom", Outcome::Failed);
    EXPECT_EQ(dir.Read("keep.rom"), "old contents");
    EXPECT_EQ(TraceOf("ShowNotice"),
              std::vector<std::string>{"ShowNotice Can not read [" + state().IniPath +
                                       "] (No such file or directory), ROM file not saved !!!"});
    EXPECT_TRUE(Pane(Control::RichEdit2).empty());
}

TEST_F(SaveRomTest, FileThatCannotBeCreatedIsReported) {
    StartWith(GoldenIni());
    SelectBody(0);
    form.saveFiles.push_back(dir.file("no/such/folder/x.rom"));
    EXPECT_EQ(SaveROMFile1Click(ctx()), Outcome::Failed);
    EXPECT_EQ(TraceOf("ShowNotice"),
              std::vector<std::string>{"ShowNotice Can not write [" + dir.file("no/such/folder/x.rom") +
                                       "] (No such file or directory), ROM file not saved !!!"});
    EXPECT_TRUE(Pane(Control::RichEdit2).empty());
}

TEST_F(SaveRomTest, WriteFailingMidwayKeepsTheOldFileAndLeavesNoTemporary) {
#ifdef _WIN32
    GTEST_SKIP() << "needs a limit on the size of files (setrlimit), which Windows does not have";
#else
    StartWith(GoldenIni());
    SelectBody(0);
    dir.Write("keep.rom", "old contents");
    // Files may grow to 100 bytes only: the write of the new file fails.
    rlimit old{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
    rlimit small = old;
    small.rlim_cur = 100;
    const auto oldHandler = signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    form.saveFiles.push_back(dir.file("keep.rom"));
    const Outcome outcome = SaveROMFile1Click(ctx());
    setrlimit(RLIMIT_FSIZE, &old);
    signal(SIGXFSZ, oldHandler);

    EXPECT_EQ(outcome, Outcome::Failed);
    EXPECT_EQ(dir.Read("keep.rom"), "old contents");
    EXPECT_EQ(TraceOf("ShowNotice").size(), 1u);
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(dir.path())) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"Writer.ini", "keep.rom"}));
#endif
}

TEST_F(SaveRomTest, ExistingFileIsReplacedWhole) {
    StartWith(GoldenIni());
    SelectBody(0);
    SetOptionBytes({0x01, 0x23, 0x45, 0x67, 0x89, 0xAB, 0xCD, 0xEF});
    ByteImage32();
    dir.Write("out.rom", std::string(5000, 'x'));
    std::filesystem::permissions(dir.file("out.rom"), std::filesystem::perms::owner_read |
                                                          std::filesystem::perms::owner_write |
                                                          std::filesystem::perms::group_read);
    EXPECT_EQ(SaveAs("out.rom"), Golden("byte32.rom"));
    // The replaced file keeps its permissions (Windows has no POSIX permissions).
    if (!test::kWindows) {
        EXPECT_EQ(std::filesystem::status(dir.file("out.rom")).permissions(),
                  std::filesystem::perms::owner_read | std::filesystem::perms::owner_write |
                      std::filesystem::perms::group_read);
    }
}

TEST_F(SaveRomTest, RelativePickIsTakenFromTheWorkingDirectory) {
    StartWith(GoldenIni());
    SelectBody(0);
    form.saveFiles.push_back("rel.rom");
    EXPECT_EQ(SaveROMFile1Click(ctx()), Outcome::Done);
    EXPECT_TRUE(std::filesystem::exists(dir.file("rel.rom")));
    EXPECT_EQ(Pane(Control::RichEdit2), std::vector<std::string>{"Data save to [rel.rom] OK !!!"});
}

TEST_F(SaveRomTest, BodyLengthBeyondTheImageSavesTheWholeImage) {
    StartWith(GoldenIni());
    SelectBody(0);
    state().BodyInfo[0][5] = 0x01;
    state().BodyInfo[0][6] = 0x40;  // 0x4001 values
    const std::string text = SaveAs("big.rom");
    EXPECT_EQ(state().ObjectLength, 8192);
    EXPECT_NE(text.find("LENGTH 8192 BYTE\r\n"), std::string::npos);
    EXPECT_NE(text.find("\r\n1FF0  "), std::string::npos);
    EXPECT_EQ(text.find("\r\n2000  "), std::string::npos);
}
