// Upload ROM: what the writer holds becomes the state's, read in the width
// of the body the writer holds.
#include <gtest/gtest.h>

#include "RomFixture.h"
#include "romfile/LoadRomFile.h"
#include "romfile/UploadRom.h"
#include "WireRequests.h"

using namespace otp;

using otp::test::BlockReadRequest;

namespace {

const char kUploadIni[] =
    "RS232_PORT COM2\n"
    "IC_BODY_START\n"
    "BODY RX4400\n"
    "INFO $A5,0,0,0,$80,0,4,0,$80\n"
    "BODY B32\n"
    "OFFSET $0100\n"
    "INFO $A5,1,0,0,$80,32,0,0,$80\n"
    "BODY W8\n"
    "INFO $A5,2,0,0,0,8,0,0,$02\n"
    "IC_BODY_END\n";


std::vector<uint8_t> Concat(std::initializer_list<std::vector<uint8_t>> parts) {
    std::vector<uint8_t> all;
    for (const auto& p : parts) all.insert(all.end(), p.begin(), p.end());
    return all;
}

}  // namespace

class UploadRomTest : public test::RomOperationTest {
protected:
    void SetUp() override { StartWith(kUploadIni); }

    // The writer holds a body description, option bytes and an image.
    void WriterHolds(const std::vector<uint8_t>& body, const std::vector<uint8_t>& options,
                     const std::vector<uint8_t>& image) {
        writer->WriteMemory(0x7F90, body);
        writer->WriteMemory(0x7F80, options);
        writer->WriteMemory(0x4000, image);
    }

    static std::vector<uint8_t> Counting(int n, int from = 0) {
        std::vector<uint8_t> v;
        for (int i = 0; i < n; ++i) v.push_back(static_cast<uint8_t>(from + i));
        return v;
    }
};

TEST_F(UploadRomTest, ByteModeBodyOf32Values) {
    WriterHolds({0xA5, 1, 0, 0, 0x80, 32, 0, 0, 0x80, 0, 0, 0, 0, 0, 0, 0},
                {0x10, 0x20, 0x30, 0x40, 0x50, 0x60, 0x70, 0x80, 1, 2, 3, 4, 5, 6, 7, 8}, Counting(32, 0x40));
    const int lengthBefore = state().ObjectLength;
    EXPECT_EQ(UploadtoWriter1Click(ctx()), Outcome::Done);
    EXPECT_EQ(Pane(Control::RichEdit1),
              (std::vector<std::string>{"0000: 10 20 30 40 50 60 70 80 01 02 03 04 05 06 07 08 ",
                                        "Receiver Data Length = 16 bytes", "Option Checksum =0264",
                                        // labelled from the OFFSET of RX4400, selected before the upload
                                        "0000: 40 41 42 43 44 45 46 47 48 49 4A 4B 4C 4D 4E 4F ",
                                        "0010: 50 51 52 53 54 55 56 57 58 59 5A 5B 5C 5D 5E 5F ",
                                        "Receiver Data Length = 32 bytes", "Object Checksum =09F0"}));
    EXPECT_TRUE(Pane(Control::RichEdit2).empty());
    EXPECT_EQ(form.Field(Control::Edit1), "0C54");
    // Each area is read twice: what is kept is confirmed.
    EXPECT_EQ(SentBytes(), Concat({BlockReadRequest(0x7F90, 16), BlockReadRequest(0x7F90, 16), BlockReadRequest(0x7F80, 16),
                                   BlockReadRequest(0x7F80, 16), BlockReadRequest(0x4000, 32), BlockReadRequest(0x4000, 32)}));
    // The selectors follow the uploaded body afterwards.
    EXPECT_EQ(form.Selector(Control::ComboBox1).selection, 1);
    EXPECT_EQ(state().OptionBytes[15], 8);
    EXPECT_EQ(state().RomImage[31], 0x5F);
    EXPECT_EQ(state().ObjectLength, lengthBefore);
    EXPECT_TRUE(TraceOf("ShowErrorBox").empty());
    EXPECT_TRUE(TraceOf("ShowNotice").empty());
    EXPECT_FALSE(ctx().link.PortHandle);
}

TEST_F(UploadRomTest, DumpIsLabelledFromTheBodySelectedBefore) {
    view.SetSelection(Control::ComboBox1, 1);  // B32, OFFSET 0x100
    WriterHolds({0xA5, 0, 0, 0, 0x80, 16, 0, 0, 0x80, 0, 0, 0, 0, 0, 0, 0}, Counting(16), Counting(16));
    UploadtoWriter1Click(ctx());
    EXPECT_EQ(Pane(Control::RichEdit1)[3], "0100: 00 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F ");
    EXPECT_EQ(form.Selector(Control::ComboBox1).selection, 0);
}

TEST_F(UploadRomTest, WordBodyIsReadWholeWhileTheHostWasInByteMode) {
    ASSERT_EQ(state().ValueDigits, 2);
    WriterHolds({0xA5, 2, 0, 0, 0x00, 8, 0, 0, 0x02, 0, 0, 0, 0, 0, 0, 0}, std::vector<uint8_t>(16, 0),
                {0x34, 0x12, 0x78, 0x56, 0xBC, 0x9A, 0xF0, 0xDE, 1, 0, 2, 0, 3, 0, 4, 0});
    EXPECT_EQ(UploadtoWriter1Click(ctx()), Outcome::Done);
    EXPECT_EQ(SentBytes(), Concat({BlockReadRequest(0x7F90, 16), BlockReadRequest(0x7F90, 16), BlockReadRequest(0x7F80, 16),
                                   BlockReadRequest(0x7F80, 16), BlockReadRequest(0x4000, 16), BlockReadRequest(0x4000, 16)}));
    EXPECT_EQ(Pane(Control::RichEdit1)[3], "0000: 1234 5678 9ABC DEF0 0001 0002 0003 0004 ");
    EXPECT_EQ(Pane(Control::RichEdit1)[4], "Receiver Data Length = 16 bytes");
    EXPECT_EQ(state().RomImage[3], 0xDEF0);
    EXPECT_EQ(state().RowWidth, 8);
    EXPECT_TRUE(form.MenuVisible(Control::Testcode1));
}

TEST_F(UploadRomTest, AfterAGoodLoadShowsWhatTheLoadShowed) {
    dir.Write("b32.rom",
              "BODY B32\nMORVIK_BYTE 0102030405060708\nSTARTADR 0000\nLENGTH 32 BYTE\n"
              "0000  00 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F \n"
              "0010  10 11 12 13 14 15 16 17 18 19 1A 1B 1C 1D 1E 1F \nCHECKSUM 01F0\n");
    form.openFiles.push_back(dir.file("b32.rom"));
    ASSERT_EQ(LoadROMFile1Click(ctx()), Outcome::Done);
    const std::string edit1 = form.Field(Control::Edit1);
    const auto options = state().OptionBytes;
    const auto image = state().RomImage;
    for (size_t i = 0; i < 32; ++i) state().RomImage[i] = 0xEE;
    for (size_t i = 0; i < 16; ++i) state().OptionBytes[i] = 0xEE;

    EXPECT_EQ(UploadtoWriter1Click(ctx()), Outcome::Done);
    EXPECT_EQ(form.Field(Control::Edit1), edit1);
    EXPECT_EQ(state().OptionBytes, options);
    EXPECT_EQ(state().RomImage, image);
    EXPECT_EQ(Pane(Control::RichEdit1)[0], "0000: 01 02 03 04 05 06 07 08 00 00 00 00 00 00 00 00 ");
    EXPECT_EQ(Pane(Control::RichEdit1)[3], "0100: 00 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F ");
}

TEST_F(UploadRomTest, SilentWriterFailsAndKeepsTheOldDescription) {
    const auto row = state().BodyInfo[0];
    const auto options = state().OptionBytes;
    const std::string edit1 = form.Field(Control::Edit1);
    writer->SetCommand(0x57, {});
    EXPECT_EQ(UploadtoWriter1Click(ctx()), Outcome::Failed);
    EXPECT_EQ(Pane(Control::RichEdit1), std::vector<std::string>{"  -----> Upload error: 0 of 16 bytes received !!!"});
    EXPECT_EQ(state().BodyInfo[0], row);
    EXPECT_EQ(state().OptionBytes, options);
    EXPECT_EQ(form.Field(Control::Edit1), edit1);
    EXPECT_TRUE(TraceOf("ShowErrorBox").empty());
}

TEST_F(UploadRomTest, ShortImageFails) {
    // A writer that answers the image read with fewer bytes than asked.
    WriterHolds({0xA5, 1, 0, 0, 0x80, 32, 0, 0, 0x80, 0, 0, 0, 0, 0, 0, 0}, Counting(16), Counting(32));
    writer->SetCommand(0x57, [] {
        struct ShortRead : emu::WriterCommand {
            std::vector<uint8_t> request;
            bool Take(uint8_t b, emu::WriterEmulator& w) override {
                request.push_back(b);
                if (request.size() < 7) return false;
                const int addr = request[1] | (request[2] << 8);
                const int length = request[3] | (request[4] << 8);
                w.Reply(w.ReadMemory(static_cast<uint32_t>(addr), static_cast<size_t>(addr == 0x4000 ? length - 1 : length)));
                return true;
            }
        };
        return std::make_unique<ShortRead>();
    });
    const auto options = state().OptionBytes;
    const auto image = state().RomImage;
    const std::string edit1 = form.Field(Control::Edit1);
    EXPECT_EQ(UploadtoWriter1Click(ctx()), Outcome::Failed);
    // Nothing of the writer's data is half taken over.
    EXPECT_EQ(state().OptionBytes, options);
    EXPECT_EQ(state().RomImage, image);
    EXPECT_EQ(form.Field(Control::Edit1), edit1);
    EXPECT_EQ(Pane(Control::RichEdit1).back(), "  -----> Upload error: 31 of 32 bytes received !!!");
}
