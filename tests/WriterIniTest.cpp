#include <gtest/gtest.h>

#include <memory>

#include "TestSupport.h"
#include "config/FileRead.h"
#include "config/PathLookup.h"
#include "config/WriterIni.h"
#include "view/FormModel.h"

using namespace otp;

class WriterIniTest : public ::testing::Test {
protected:
    test::TempDir dir;
    std::unique_ptr<WriterState> s = std::make_unique<WriterState>();
    FormModel view;

    bool Read(const std::string& ini) {
        dir.Write("Writer.ini", ini);
        return ReadWriterIni(*s, view, dir.path());
    }
    const SelectorModel& Bodies() const { return view.Selector(Control::ComboBox1); }
};

TEST_F(WriterIniTest, ExampleFileFillsPortVersionDriverAndBodies) {
    ASSERT_TRUE(Read("// host settings\r\n"
                     "VERSION 12071000 V5.00\r\n"
                     "RS232_PORT COM2 ; second port\r\n"
                     "WRITER_DRIVER ..\\WRITER.BIN\r\n"
                     "IC_BODY_START\r\n"
                     "BODY RX4400\r\n"
                     "BNK_DLY 50\r\n"
                     "PRG_DLY 300\r\n"
                     "OFFSET $0000\r\n"
                     "INFO $A5,0,0,0,$80,0,4,0,$E2\r\n"
                     "+ 0,0,0,0,0,0,7\r\n"
                     "BODY rx4720\r\n"
                     "VER_DLY 12\r\n"
                     "CPY_DLY 13\r\n"
                     "OBJ_DLY 14\r\n"
                     "OFFSET $100\r\n"
                     "IC_BODY_END\r\n"));
    EXPECT_EQ(s->IniPath, dir.path() + "/Writer.ini");
    EXPECT_EQ(s->IniVersion, "12071000");
    EXPECT_EQ(view.Caption(), "Morvik OTP Writer V5.00 (12071000)");
    EXPECT_EQ(s->PortName, "COM2");
    EXPECT_EQ(view.Field(Control::Edit3), "COM2");
    EXPECT_EQ(s->DriverPath, ToPosixSeparators(dir.path()) + "/WRITER.BIN");
    EXPECT_EQ(s->BodyCount, 2);
    EXPECT_EQ(Bodies().items, (std::vector<std::string>{"RX4400", "RX4720"}));
    EXPECT_EQ(Bodies().selection, 0);
    EXPECT_EQ(Bodies().dropDownRows, 2);
    EXPECT_EQ(s->BNK_DLY[0], 50);
    EXPECT_EQ(s->PRG_DLY[0], 300);
    EXPECT_EQ(s->VER_DLY[1], 12);
    EXPECT_EQ(s->CPY_DLY[1], 13);
    EXPECT_EQ(s->OBJ_DLY[1], 14);
    EXPECT_EQ(s->OFFSET[1], 0x100);
    const BodyInfoRow expected{0xA5, 0, 0, 0, 0x80, 0, 4, 0, 0xE2, 0, 0, 0, 0, 0, 0, 7};
    EXPECT_EQ(s->BodyInfo[1], expected);
    EXPECT_EQ(s->BodyInfo[0], BodyInfoRow{});
    EXPECT_EQ(s->BodyName[0], "RX4400");
    EXPECT_EQ(s->BodyName[1], "RX4720");
    EXPECT_EQ(s->InfoCount[0], 16);
    EXPECT_EQ(s->InfoCount[1], 0);
}

TEST_F(WriterIniTest, InfoListsEmptyElementsAndContinuation) {
    ASSERT_TRUE(Read("IC_BODY_START\nBODY A\nINFO 165,1,,3\nINFO 4,\n+ 300 ignored words\nBODY B\n+ 9\nIC_BODY_END\n"));
    EXPECT_EQ(s->BodyInfo[1][0], 165);
    EXPECT_EQ(s->BodyInfo[1][1], 1);
    EXPECT_EQ(s->BodyInfo[1][2], 0);
    EXPECT_EQ(s->BodyInfo[1][3], 3);
    EXPECT_EQ(s->BodyInfo[1][4], 4);
    EXPECT_EQ(s->BodyInfo[1][5], 300 & 0xFF);  // a trailing comma adds nothing
    EXPECT_EQ(s->BodyInfo[2][0], 9);           // BODY restarts the list
    EXPECT_EQ(s->InfoCount[0], 6);             // an empty element counts, a trailing comma does not
    EXPECT_EQ(s->InfoCount[1], 1);
}

TEST_F(WriterIniTest, PortOnlyCom1ToCom4) {
    ASSERT_TRUE(Read("RS232_PORT COM3\nRS232_PORT COM5\nRS232_PORT /dev/ttyUSB0\n"));
    EXPECT_EQ(s->PortName, "COM3");
    EXPECT_EQ(view.Field(Control::Edit3), "COM3");
}

TEST_F(WriterIniTest, CaptionRules) {
    ASSERT_TRUE(Read("VERSION 1a2b3c4d\n"));
    EXPECT_EQ(view.Caption(), "Morvik OTP Writer  (1A2B3C4D)");
    EXPECT_EQ(s->IniVersion, "1A2B3C4D");
    FormModel fresh;
    dir.Write("Writer.ini", "VERSION 1 A\nVERSION 2 B\n");
    ReadWriterIni(*s, fresh, dir.path());
    EXPECT_EQ(fresh.Caption(), "Morvik OTP Writer B (2)");
    FormModel none;
    dir.Write("Writer.ini", "RS232_PORT COM1\n");
    ReadWriterIni(*s, none, dir.path());
    EXPECT_EQ(none.Caption(), "Morvik OTP Writer Version 5.00");
}

TEST_F(WriterIniTest, BodyKeysOnlyInsideTheSection) {
    ASSERT_TRUE(Read("BODY EARLY\nIC_BODY_START\nBNK_DLY 77\nINFO 1,2,3\nBODY IN\nIC_BODY_END\nBODY LATE\nPRG_DLY 9\n"));
    EXPECT_EQ(Bodies().items, std::vector<std::string>{"IN"});
    EXPECT_EQ(s->BodyCount, 1);
    // Keys before the first BODY belong to no body and write nothing.
    EXPECT_EQ(s->BNK_DLY[0], 0);
    EXPECT_EQ(s->BodyInfo[0], BodyInfoRow{});
    EXPECT_EQ(s->BodyInfo[1], BodyInfoRow{});
    EXPECT_EQ(s->PRG_DLY[0], 0);
}

TEST_F(WriterIniTest, TabKeepsKeyAndValueOneWord) {
    ASSERT_TRUE(Read("RS232_PORT\tCOM2\n"));
    EXPECT_EQ(s->PortName, "");
}

TEST_F(WriterIniTest, LongLineIsReadAsTwoLines) {
    // The second piece of a 200-character line is a line of its own.
    std::string line = "// " + std::string(128, 'x') + "RS232_PORT COM4" + std::string(54, ' ');
    ASSERT_EQ(line.size(), 200u);
    ASSERT_TRUE(Read(line + "\n"));
    EXPECT_EQ(s->PortName, "COM4");
}

TEST_F(WriterIniTest, ValueCutAtCommentEvenInsidePath) {
    ASSERT_TRUE(Read("WRITER_DRIVER /opt/fw;1.bin\n"));
    EXPECT_EQ(s->DriverPath, "/OPT/FW");
}

TEST_F(WriterIniTest, LimitsOfTheTablesAreKept) {
    std::string ini = "IC_BODY_START\n";
    for (int i = 0; i < 70; ++i) ini += "BODY B" + std::to_string(i) + "\nPRG_DLY " + std::to_string(i + 1) + "\n";
    ini += "INFO ";
    for (int i = 0; i < 40; ++i) ini += std::to_string(i + 1) + ",";
    ini += "\nIC_BODY_END\n";
    ASSERT_TRUE(Read(ini));
    EXPECT_EQ(s->BodyCount, 64);
    EXPECT_EQ(Bodies().items.size(), 64u);
    EXPECT_EQ(s->PRG_DLY[63], 64);  // bodies 65-70 did not overwrite body 64
    EXPECT_EQ(s->BodyInfo[64], BodyInfoRow{});
}

TEST_F(WriterIniTest, MoreThan32InfoValuesAreDropped) {
    std::string list;
    for (int i = 0; i < 40; ++i) list += std::to_string(i + 1) + ",";
    ASSERT_TRUE(Read("IC_BODY_START\nBODY A\nINFO " + list + "\nBODY B\nINFO 5\nIC_BODY_END\n"));
    EXPECT_EQ(s->BodyInfo[1][31], 32);
    EXPECT_EQ(s->BodyInfo[2][0], 5);
    EXPECT_EQ(s->BodyInfo[2][1], 0);
    EXPECT_EQ(s->InfoCount[0], 40);  // counted past the 32 kept
    EXPECT_EQ(s->InfoCount[1], 1);
}

TEST_F(WriterIniTest, SecondBodySectionRestartsTheCount) {
    ASSERT_TRUE(Read("IC_BODY_START\nBODY A\nINFO 1,2\nBODY B\nIC_BODY_START\nBODY C\nIC_BODY_END\n"));
    EXPECT_EQ(s->BodyCount, 1);
    EXPECT_EQ(s->BodyName[0], "C");  // C's row replaces A's
    EXPECT_EQ(s->InfoCount[0], 0);
    EXPECT_EQ(Bodies().items, (std::vector<std::string>{"A", "B", "C"}));
    EXPECT_EQ(Bodies().dropDownRows, 1);
}

// A UTF-8 byte-order mark before the first line is skipped; one further on
// stays, so that line's key is not recognised.
TEST_F(WriterIniTest, ByteOrderMarkAtTheStartIsSkipped) {
    const std::string bom = "\xEF\xBB\xBF";
    const struct {
        std::string ini;
        std::string version, port;
    } rows[] = {
        {bom + "VERSION 12071000 V5.00\r\nRS232_PORT COM2\r\n", "12071000", "COM2"},
        {bom + "RS232_PORT COM4\n" + bom + "VERSION 1\n", "", "COM4"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.ini);
        s = std::make_unique<WriterState>();
        ASSERT_TRUE(Read(row.ini));
        EXPECT_EQ(s->IniVersion, row.version);
        EXPECT_EQ(s->PortName, row.port);
    }
}

TEST_F(WriterIniTest, MissingFileLeavesAnEmptyTable) {
    EXPECT_FALSE(ReadWriterIni(*s, view, dir.path()));
    EXPECT_EQ(s->BodyCount, 0);
    EXPECT_TRUE(Bodies().items.empty());
    EXPECT_EQ(view.Caption(), "Morvik OTP Writer Version 5.00");
}

TEST_F(WriterIniTest, FilesAreFoundWhateverTheirLetterCase) {
    dir.Write("writer.INI", "RS232_PORT COM4\nWRITER_DRIVER ..\\fw\\Writer.bin\n");
    std::filesystem::create_directory(dir.file("fw"));
    dir.Write("fw/Writer.bin", "x");
    ASSERT_TRUE(ReadWriterIni(*s, view, dir.path()));
    EXPECT_EQ(s->PortName, "COM4");
    // Windows finds the file by the name as written; elsewhere the lookup
    // gives the name the file system holds.
    std::string content, error;
    EXPECT_TRUE(ReadRegularFile(s->DriverPath, 16, content, error)) << s->DriverPath << ": " << error;
    EXPECT_EQ(content, "x");
    if (!test::kWindows) {
        EXPECT_EQ(s->DriverPath, dir.path() + "/fw/Writer.bin");
    }
}

TEST_F(WriterIniTest, ShippedExampleReadsFourBodies) {
    std::ifstream in(test::SourcePath("examples/Writer.ini"), std::ios::binary);
    ASSERT_TRUE(Read(std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>())));
    EXPECT_EQ(Bodies().items, (std::vector<std::string>{"RX4400", "RX4720", "RX4935", "RX5100"}));
    EXPECT_EQ(s->IniVersion, "12071000");
    for (int row = 1; row <= 4; ++row) {
        EXPECT_EQ(s->BodyInfo[row][0], 0xA5) << row;
        EXPECT_EQ(s->BodyInfo[row][1], row - 1) << row;
    }
    EXPECT_EQ(s->OFFSET[2], 0x800);
}

TEST_F(WriterIniTest, TheProductionLogKeepsItsLetterCaseAndBlanksAndTheStationItsWriters) {
    const struct {
        const char* line;
        const char* path;
        const char* writers = "";
    } rows[] = {
        {"PRODUCTION_LOG run.csv\n", "run.csv"},
        {"production_log  Logs/Line 3/Run.csv  // the third line\n", "Logs/Line 3/Run.csv"},
        {"PRODUCTION_LOG\n", ""},
        {"VERSION 1\n", ""},
        {"STATION_WRITERS com1,COM2,COM3,COM4\n", "", "COM1,COM2,COM3,COM4"},
        {"station_writers COM1, COM2 ; the line's two\n", "", "COM1,COM2"},
        {"STATION_WRITERS\n", "", ""},
    };
    for (const auto& row : rows) {
        ASSERT_TRUE(Read(row.line));
        EXPECT_EQ(s->ProductionLogPath, row.path) << row.line;
        EXPECT_EQ(s->StationWriters, row.writers) << row.line;
    }
}
