// Copy: the reply table, the take-over of the writer's copy into the state
// and the window, and the masters the socket can hold.
#include <algorithm>

#include "OtpFixture.h"
#include "operations/CopyMaster.h"
#include "WireRequests.h"

using namespace otp;
using test::WireByte;

using otp::test::BlockReadRequest;

namespace {

using Bytes = std::vector<uint8_t>;

const std::string kCopyFail = "  -----> OTP Copy Fail !!!";


}  // namespace

class CopyMasterTest : public test::OtpTest {
protected:
    void SetUp() override {
        OtpTest::SetUp();
        form.SetFieldText(Control::Edit2, "LAST.ROM");
        form.AppendLine(Control::RichEdit1, "upper");
        romBefore.assign(state().RomImage.begin(), state().RomImage.end());
    }
    std::vector<int32_t> Rom() { return {state().RomImage.begin(), state().RomImage.end()}; }

    // A master programmed under `info` (a Writer.ini INFO row), bank 0
    // holding byte i = (i * 3) & 0xFF, options 01 02 ... 10.
    void InsertMaster(int infoRow, uint8_t flags, uint8_t bankByte) {
        emu::Ic ic;
        std::copy_n(state().BodyInfo[static_cast<size_t>(infoRow)].begin(), 16, ic.bodyInfo.begin());
        ic.bodyInfo[4] = flags;
        ic.bodyInfo[13] = bankByte;
        // Programmed in the bank its description names.
        const int bank = bankByte >> 5;
        for (size_t i = 0; i < 2048; ++i) ic.ProgramCell(bank, i, static_cast<uint8_t>(i * 3));
        for (size_t i = 0; i < 16; ++i) ic.options[i] = static_cast<uint8_t>(i + 1);
        ic.usedBanks = static_cast<uint8_t>(1 << bank);
        writer->Socket().Insert(ic);
    }

    std::vector<int32_t> romBefore;
};

// ---------------------------------------------------------------- the reply table

TEST_F(CopyMasterTest, EachStatusHasItsReasonAndChangesNothingButPanesAndFileName) {
    const struct {
        Bytes reply;
        std::vector<std::string> lines;
    } cases[] = {
        {{}, {"  -----> OTP Connect Error !!!", "  -----> Please check RS232 cable !!!"}},
        {{0x00, 0x00}, {"  -----> OTP Connect Error !!!", "  -----> Please check RS232 cable !!!"}},
        {{0x01}, {kCopyFail, "  -----> Master OTP has been Lock !!!"}},
        {{0x02}, {kCopyFail, "  -----> Master OTP is blank or no put on socket !!!"}},
        {{0x03}, {kCopyFail, "  -----> IC no put on socket or jumper setting error !!!"}},
        {{0x7F}, {kCopyFail, "  -----> IC Body code (Test code) compare error !!!"}},
        {{0x04}, {kCopyFail, "  -----> IC Body code (Test code) compare error !!!"}},
    };
    bool lastWasWhole = true;
    for (const auto& c : cases) {
        Script(0x6B, c.reply);
        form.SetFieldText(Control::Edit2, "LAST.ROM");
        ClearRecords();
        EXPECT_EQ(Button5Click(ctx()), Outcome::Failed) << c.reply.size();
        EXPECT_EQ(Lower(), c.lines) << c.reply.size();
        EXPECT_TRUE(Upper().empty());
        EXPECT_EQ(form.Field(Control::Edit2), "");
        // After an answer that was not whole the host first checks that the
        // line is in step again: the version bytes must come back as before.
        Bytes sent = lastWasWhole ? Bytes{} : test::BlockReadRequest(0x0400, 8);
        sent.push_back(0x6B);
        EXPECT_EQ(SentBytes(), sent);
        lastWasWhole = !c.reply.empty();
        EXPECT_EQ(Rom(), romBefore);
        EXPECT_TRUE(TraceOf("SetFieldText Edit1").empty());
    }
}

TEST_F(CopyMasterTest, TheCommandWaitsTheBodysCopyTicks) {
    Script(0x6B, {0x02});
    Button5Click(ctx());
    const int64_t t0 = T0();
    EXPECT_EQ(wire.sent, (std::vector<WireByte>{{t0, 0x6B}}));
    // The 1 ms pause ends before the byte has left (1.04 ms); the wait starts after.
    EXPECT_EQ(wire.drains, (std::vector<int64_t>{t0 + 2 + 3000}));
    EXPECT_EQ(std::vector<std::string>(trace.begin(), trace.begin() + 4),
              (std::vector<std::string>{"ClearPane RichEdit1", "ClearPane RichEdit2", "SetFieldText Edit2 ", "Send 6B"}));
}

// ---------------------------------------------------------------- the take-over

TEST_F(CopyMasterTest, ACopiedMasterBecomesTheHostsImageOptionsAndBody) {
    Insert(emu::IcKind::Programmed);
    EXPECT_EQ(Button5Click(ctx()), Outcome::Done);
    EXPECT_TRUE(Lower().empty());

    std::vector<int32_t> cells(1024);
    int objectSum = 0;
    for (size_t i = 0; i < cells.size(); ++i) {
        cells[i] = emu::MasterCell(i);
        objectSum = (objectSum + cells[i]) & 0xFFFF;
    }
    std::vector<std::string> expected = {"0000: 00 5A FF FF FF FF FF FF FF FF FF FF FF FF FF FF ",
                                         "Receiver Data Length = 16 bytes", "Option Checksum =0E4C"};
    for (const std::string& row : Rows(cells, 16, 2, 0)) expected.push_back(row);
    expected.push_back("Receiver Data Length = 1024 bytes");
    expected.push_back("Object Checksum =" + FormatHex(objectSum, 4));
    EXPECT_EQ(Upper(), expected);

    for (size_t i = 0; i < cells.size(); ++i) ASSERT_EQ(state().RomImage[i], cells[i]) << i;
    EXPECT_EQ(state().OptionBytes[1], 0x5A);
    // Edit1 first shows the sum with all 16 option bytes, then with bytes 0-7.
    const int options16 = 0x5A + 14 * 0xFF;
    const int options8 = 0x5A + 6 * 0xFF;
    EXPECT_EQ(TraceOf("SetFieldText Edit1"),
              (std::vector<std::string>{"SetFieldText Edit1 " + FormatHex((objectSum + options16) & 0xFFFF, 4),
                                        "SetFieldText Edit1 " + FormatHex((objectSum + options8) & 0xFFFF, 4)}));
    EXPECT_EQ(state().OptionChecksum, options8);
    EXPECT_EQ(state().ObjectChecksum, objectSum);
    EXPECT_EQ(form.Field(Control::Edit2), "");

    Bytes expectedWire = {0x6B};
    // Each area is read twice: what is taken over is confirmed.
    for (const auto& request : {BlockReadRequest(0x7F80, 16), BlockReadRequest(0x4000, 1024), BlockReadRequest(0x7F90, 16)})
        for (int read = 0; read < 2; ++read) expectedWire.insert(expectedWire.end(), request.begin(), request.end());
    EXPECT_EQ(SentBytes(), expectedWire);
    EXPECT_EQ(wire.opens, 1);
}

TEST_F(CopyMasterTest, TheSelectorsFollowTheCopiedDescription) {
    // A WordMode master with lock and rolling code on.
    InsertMaster(1 + kRx4720, 0x60, 0x00);
    EXPECT_EQ(Button5Click(ctx()), Outcome::Done);
    EXPECT_EQ(form.Selector(Control::ComboBox1).selection, kRx4720);
    EXPECT_EQ(form.SelectedText(Control::ComboBox4), "ON");
    EXPECT_EQ(form.SelectedText(Control::ComboBox3), "ON");
    EXPECT_TRUE(form.MenuVisible(Control::Testcode1));
    EXPECT_EQ(state().ValueDigits, 4);
    // The image was read with the count of the description held before
    // (1024 bytes as bytes), then again as the master describes it: 512
    // words, each two cells of i * 3, low first.
    const std::vector<std::string> upper = Upper();
    EXPECT_EQ(upper[3 + 64], "Receiver Data Length = 1024 bytes");
    EXPECT_EQ(std::count(upper.begin(), upper.end(), "Receiver Data Length = 1024 bytes"), 2);
    EXPECT_EQ(state().RomImage[1], 0x0906);
    EXPECT_EQ(state().ObjectLength, 1024);  // not taken from the copy

    // A two-bank master last programmed in bank 1.
    InsertMaster(1 + kRx4935, 0xC0, 0x20);
    ClearRecords();
    EXPECT_EQ(Button5Click(ctx()), Outcome::Done);
    EXPECT_EQ(form.Selector(Control::ComboBox1).selection, kRx4935);
    EXPECT_EQ(form.Selector(Control::ComboBox5).items,
              (std::vector<std::string>{"Bank 0", "Bank 1", "Last used", "1st Un-use"}));
    EXPECT_EQ(form.SelectedText(Control::ComboBox5), "Bank 1");
    EXPECT_TRUE(form.Enabled(Control::ComboBox5));
    EXPECT_FALSE(form.Enabled(Control::ComboBox3));
    EXPECT_EQ(state().BodyInfo[0][13], 0x20);
}

// ---------------------------------------------------------------- masters in the socket

TEST_F(CopyMasterTest, LockedBlankMissingFaultyAndForeignMastersFail) {
    const struct {
        emu::IcKind kind;
        const char* reason;
    } cases[] = {
        {emu::IcKind::Locked, "  -----> Master OTP has been Lock !!!"},
        {emu::IcKind::Blank, "  -----> Master OTP is blank or no put on socket !!!"},
        {emu::IcKind::None, "  -----> Master OTP is blank or no put on socket !!!"},
        {emu::IcKind::Fault, "  -----> IC no put on socket or jumper setting error !!!"},
        {emu::IcKind::WrongBody, "  -----> IC Body code (Test code) compare error !!!"},
    };
    for (const auto& c : cases) {
        Insert(c.kind);
        ClearRecords();
        EXPECT_EQ(Button5Click(ctx()), Outcome::Failed) << emu::IcKindName(c.kind);
        EXPECT_EQ(Lower(), (std::vector<std::string>{kCopyFail, c.reason})) << emu::IcKindName(c.kind);
        EXPECT_EQ(Rom(), romBefore);
    }
}

TEST_F(CopyMasterTest, AfterAFailedOpenTheCopyTakesTheNoReplyPath) {
    emulated.FailOpen("COM1");
    EXPECT_EQ(Button5Click(ctx()), Outcome::Failed);
    EXPECT_EQ(Lower(), (std::vector<std::string>{"  -----> OTP Connect Error !!!", "  -----> Please check RS232 cable !!!"}));
    EXPECT_TRUE(wire.sent.empty());
    EXPECT_EQ(Rom(), romBefore);
}
