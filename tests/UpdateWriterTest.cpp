#include <gtest/gtest.h>

#include <filesystem>

#include "OperationFixture.h"
#include "config/WriterIni.h"
#include "maintenance/UpdateWriter.h"
#include "maintenance/WriterVersion.h"
#include "view/HexText.h"

using namespace otp;

class UpdateWriterTest : public test::OperationTest {
protected:
    std::string firmware;

    void SetUp() override {
        MakeSession();
        ReadWriterIni(state(), view, dir.path());
        form.yesAnswer = true;
    }

    // A firmware file of `size` bytes; byte k holds a value derived from k.
    void MakeFirmware(int size) {
        firmware.resize(static_cast<size_t>(size));
        for (int k = 0; k < size; ++k) firmware[static_cast<size_t>(k)] = static_cast<char>((k * 13 + k / 251) & 0xFF);
        dir.Write("WRITER.BIN", firmware);
        state().DriverPath = dir.file("WRITER.BIN");
    }
    uint8_t FileByte(int k) const { return static_cast<uint8_t>(firmware[static_cast<size_t>(k)]); }

    // Time from the moment the stream has left the port (its n + 3 bytes take
    // 1.04 ms each on the line) to the first byte of the read-back request.
    int64_t WaitBeforeReadBack(int n) const {
        const size_t lastBody = 3 + static_cast<size_t>(n) - 1;
        const int64_t lineMs = ((n + 3) * 10000 + 9599) / 9600;
        return wire.sent.at(lastBody + 1).ms - (wire.sent.at(0).ms + lineMs);
    }
};

TEST_F(UpdateWriterTest, StreamHeaderCountAndBody) {
    MakeFirmware(1324);
    state().IniVersion = "12071000";
    ClearRecords();
    UpdateWriter1Click(ctx());
    ASSERT_GE(wire.sent.size(), 303u);
    const int64_t t = wire.sent[0].ms;
    EXPECT_EQ(wire.sent[0], (test::WireByte{t, 0x6F}));
    EXPECT_EQ(wire.sent[1], (test::WireByte{t + 1, 0x2C}));
    EXPECT_EQ(wire.sent[2], (test::WireByte{t + 2, 0x01}));
    for (int i = 0; i < 300; ++i) {
        ASSERT_EQ(wire.sent[3 + i].byte, FileByte(1024 + i)) << i;
        ASSERT_EQ(wire.sent[3 + i].ms, t + 3 + i) << i;
    }
    EXPECT_EQ(wire.sent[303].byte, 0x57);  // the read-back follows the stream
    const auto& upper = Pane(Control::RichEdit1);
    ASSERT_EQ(upper.size(), 1u + 19u);
    EXPECT_EQ(upper[0], "Total send 300 bytes");
    EXPECT_EQ(upper[1].substr(0, 6), "0400: ");
    EXPECT_EQ(upper[19], "0520: " + std::string([&] {
                             std::string row;
                             for (int i = 0; i < 12; ++i) row += FormatHex(FileByte(1024 + 0x120 + i), 2) + " ";
                             return row;
                         }()));
    EXPECT_EQ(form.Field(Control::Edit2), state().DriverPath);
}

TEST_F(UpdateWriterTest, WaitIsFixedAboveTheThresholdAndGrowsOtherwise) {
    MakeFirmware(1324);
    for (const char* version : {"12071001", "2", "\xB0"}) {
        state().IniVersion = version;
        ClearRecords();
        UpdateWriter1Click(ctx());
        EXPECT_EQ(WaitBeforeReadBack(300), 2500) << version;
    }
    for (const char* version : {"12071000", "1207100", "", "02071000"}) {
        state().IniVersion = version;
        ClearRecords();
        UpdateWriter1Click(ctx());
        EXPECT_EQ(WaitBeforeReadBack(300), 450) << version;
        EXPECT_NE(std::find(trace.begin(), trace.end(), "SetProgressMax 45"), trace.end()) << version;
    }
}

TEST_F(UpdateWriterTest, AFullFileSendsAll15360BodyBytes) {
    MakeFirmware(16384);
    state().IniVersion = "12071001";
    ClearRecords();
    UpdateWriter1Click(ctx());
    EXPECT_EQ(wire.sent[1].byte, 15360 % 256);
    EXPECT_EQ(wire.sent[2].byte, 15360 / 256);
    EXPECT_EQ(wire.sent[3 + 15360 - 1].byte, FileByte(16383));
    EXPECT_EQ(wire.sent[3 + 15360].byte, 0x57);
    EXPECT_EQ(Pane(Control::RichEdit1)[0], "Total send 15360 bytes");
}

TEST_F(UpdateWriterTest, CleanUpdateDumpsTheReadBackAndRestoresTheBody) {
    MakeFirmware(1324);
    state().IniVersion = "12071001";
    view.SetSelection(Control::ComboBox1, 1);
    EXPECT_EQ(UpdateWriter1Click(ctx()), Outcome::Done);
    const auto& lower = Pane(Control::RichEdit2);
    ASSERT_EQ(lower.size(), 19u + 1u + 2u);
    EXPECT_EQ(lower[0], Pane(Control::RichEdit1)[1]);  // the same bytes came back
    EXPECT_EQ(lower[19], "Receiver Data Length = 300 bytes");
    EXPECT_EQ(lower[20], "0000: A5 01 6A 0D 00 00 02 00 D2 00 00 00 00 00 00 00 ");
    EXPECT_EQ(lower[21], "Receiver Data Length = 16 bytes");
    EXPECT_EQ(form.SelectedText(Control::ComboBox3), "OFF");
    EXPECT_TRUE(form.MenuVisible(Control::Testcode1));
    // The version query now shows the low digits of file bytes 1024-1031.
    Version1Click(ctx());
    std::string digits;
    for (int k = 1024; k < 1032; ++k) digits += FormatHex(FileByte(k), 1);
    EXPECT_EQ(Pane(Control::RichEdit2)[0], "Version : " + digits);
}

TEST_F(UpdateWriterTest, SilentWriterFailsTheUpdateWhateverTheFileHolds) {
    // A file of 0xFF bytes matches the read-back buffer's fill value, yet
    // nothing came back.
    MakeFirmware(1024 + 40);
    for (size_t k = 1024; k < firmware.size(); ++k) firmware[k] = static_cast<char>(0xFF);
    dir.Write("WRITER.BIN", firmware);
    state().IniVersion = "12071001";
    writer->SetCommand(0x57, {});
    writer->SetCommand(0x6F, {});
    EXPECT_EQ(UpdateWriter1Click(ctx()), Outcome::Failed);
    EXPECT_EQ(Pane(Control::RichEdit2),
              (std::vector<std::string>{"  -----> Update error: 0 of 40 bytes received !!!",
                                        "Receiver Data Length = 40 bytes",
                                        // the restore first checks the line, and the writer is silent
                                        "  -----> The writer does not answer: check the writer and the cable, then "
                                        "start again !!!",
                                        "", "Receiver Data Length = 0 bytes"}));
}

TEST_F(UpdateWriterTest, NoAtTheConfirmationChangesNothing) {
    MakeFirmware(1324);
    form.yesAnswer = false;
    form.AppendLine(Control::RichEdit1, "upper");
    ClearRecords();
    EXPECT_EQ(UpdateWriter1Click(ctx()), Outcome::Refused);
    EXPECT_EQ(trace, std::vector<std::string>{"AskYesNo Are you really to update the writer? -> no"});
    EXPECT_EQ(wire.opens, 0);
    EXPECT_EQ(Pane(Control::RichEdit1).back(), "upper");
    EXPECT_EQ(form.Field(Control::Edit2), "");
}

TEST_F(UpdateWriterTest, BadFirmwareFilesNeverReachTheWriter) {
    std::filesystem::create_directory(dir.file("FOLDER.BIN"));
    const bool fifo = test::MakeFifo(dir.file("FIFO.BIN"));  // Windows has none
    ASSERT_TRUE(fifo || test::kWindows);
    const std::pair<const char*, const char*> unreadable[] = {
        {"MISSING.BIN", "No such file or directory"}, {"FOLDER.BIN", "is a folder"}, {"FIFO.BIN", "is not a regular file"}};
    for (const auto& [name, reason] : unreadable) {
        if (!fifo && std::string(name) == "FIFO.BIN") continue;
        state().DriverPath = dir.file(name);
        ClearRecords();
        EXPECT_EQ(UpdateWriter1Click(ctx()), Outcome::Refused);
        EXPECT_EQ(trace.back(), "ShowNotice The writer driver file [" + dir.file(name) + "] cannot be opened (" +
                                    reason + "); nothing was sent !!!");
        EXPECT_EQ(wire.opens, 0);
    }
    // Files of a size the writer cannot take as a whole.
    const std::string tooLarge =
        " bytes; it may have at most 16384 (15360 sent after the first 1024), so nothing was sent !!!";
    const std::pair<int, std::string> sizes[] = {
        {1024, "has 1024 bytes; it needs more than 1024, so nothing was sent !!!"},
        {16385, "has 16385" + tooLarge},
        {20000, "has 20000" + tooLarge},
    };
    for (const auto& [size, notice] : sizes) {
        MakeFirmware(size);
        ClearRecords();
        EXPECT_EQ(UpdateWriter1Click(ctx()), Outcome::Refused) << size;
        EXPECT_EQ(trace.back(), "ShowNotice The writer driver file [" + state().DriverPath + "] " + notice);
        EXPECT_EQ(wire.opens, 0) << size;
    }
}

TEST_F(UpdateWriterTest, NoBodySelectedSendsRowZeroBackUnchanged) {
    MakeFirmware(1024 + 16);
    state().IniVersion = "12071001";
    state().BodyInfo[0] = {0xA5, 3, 0, 0, 0x80, 0, 2, 0, 0x86};
    const BodyInfoRow row = state().BodyInfo[0];
    view.SetSelection(Control::ComboBox1, -1);
    ClearRecords();
    UpdateWriter1Click(ctx());
    // The last 'u' request carries row 0 as it was.
    auto u = std::find_if(wire.sent.rbegin(), wire.sent.rend(), [](const test::WireByte& w) { return w.byte == 0x75; });
    ASSERT_NE(u, wire.sent.rend());
    const size_t at = static_cast<size_t>(wire.sent.rend() - u);
    for (size_t i = 0; i < 16; ++i) EXPECT_EQ(wire.sent.at(at + i).byte, row[i]) << i;
    EXPECT_FALSE(form.Enabled(Control::Button1));  // the MTP body of row 0 was applied
}

TEST(UpdateThreshold, ComparesAsUnsignedText) {
    EXPECT_TRUE(HasFixedUpdateWait("12071001"));
    EXPECT_TRUE(HasFixedUpdateWait("120710000"));  // the threshold is its beginning
    EXPECT_TRUE(HasFixedUpdateWait("\xFF"));
    EXPECT_FALSE(HasFixedUpdateWait("12071000"));
    EXPECT_FALSE(HasFixedUpdateWait("1207"));
    EXPECT_FALSE(HasFixedUpdateWait(""));
}

TEST_F(UpdateWriterTest, EachWaitCoversTheStoreOfTheWriterItSuits) {
    MakeFirmware(16384);
    // The firmware of the test file reports a version far above the threshold,
    // so put the writer's own version back before each run.
    const std::vector<uint8_t> newer = {1, 2, 0, 7, 1, 0, 0, 1};
    const std::vector<uint8_t> older = {1, 2, 0, 7, 1, 0, 0, 0};

    writer->WriteMemory(0x0400, newer);
    state().IniVersion = "12071001";
    EXPECT_EQ(UpdateWriter1Click(ctx()), Outcome::Done);

    writer->WriteMemory(0x0400, older);
    state().IniVersion = "12071000";
    EXPECT_EQ(UpdateWriter1Click(ctx()), Outcome::Done);

    // An old writer is still storing when a fixed wait ends.
    writer->WriteMemory(0x0400, older);
    state().IniVersion = "12071001";
    EXPECT_EQ(UpdateWriter1Click(ctx()), Outcome::Failed);
}
