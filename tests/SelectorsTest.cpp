// The body, lock, rolling-code and bank selectors: what goes to the writer,
// what comes back, the lines, the pauses, the bank arithmetic and the search.
#include "OtpFixture.h"
#include "config/ApplyBodyInfo.h"
#include "operations/Selectors.h"

using namespace otp;
using test::WireByte;

namespace {

using Bytes = std::vector<uint8_t>;

Bytes BodyInfoRead() { return {0x57, 0x01, 0x90, 0x7F, 0x10, 0x00, 0x00, 0x00}; }

Bytes Concat(std::initializer_list<Bytes> parts) {
    Bytes all;
    for (const Bytes& p : parts) all.insert(all.end(), p.begin(), p.end());
    return all;
}

}  // namespace

class SelectorsTest : public test::OtpTest {
protected:
    // The 16 bytes that followed the first BodyInfo write command on the wire.
    Bytes RowSent() const {
        const Bytes sent = SentBytes();
        const auto u = std::find(sent.begin(), sent.end(), 0x75);
        if (sent.end() - u < 17) return {};
        return Bytes(u + 1, u + 17);
    }
    // Time from the last byte of that row to the next byte sent.
    int64_t GapAfterRow() const {
        for (size_t i = 0; i < wire.sent.size(); ++i)
            if (wire.sent[i].byte == 0x75 && i + 17 < wire.sent.size()) return wire.sent[i + 17].ms - wire.sent[i + 16].ms;
        return -1;
    }
    Bytes WriterRow() const { return writer->ReadMemory(emu::WriterEmulator::kBodyInfoAddr, 16); }
    // The writer holds `row`, with its own checksum in bytes 2-3.
    void SetWriterRow(const Bytes& row) {
        writer->WriteMemory(emu::WriterEmulator::kBodyInfoAddr, row);
        writer->KeepChecksum();
    }

    // Host row 0 describes an eight-bank ByteMode body; the bank list follows.
    void EightBankBody(uint8_t bankByte) {
        auto& row = state().BodyInfo[0];
        row.fill(0);
        row[0] = 0xA5;
        row[4] = 0x80;
        row[6] = 0x04;
        row[8] = 0xA0;
        row[13] = bankByte;
        ApplyBodyInfo(state(), view);
        ClearRecords();
    }
    Outcome PickBank(int index) {
        view.SetSelection(Control::ComboBox5, index);
        ClearRecords();
        return ComboBox5Change(ctx());
    }
};

// ---------------------------------------------------------------- body

TEST_F(SelectorsTest, ABodyPickSendsItsRowAndShowsTheReadBack) {
    view.SetSelection(Control::ComboBox1, kRx4720);
    form.AppendLine(Control::RichEdit1, "upper");
    ClearRecords();
    EXPECT_EQ(ComboBox1Change(ctx()), Outcome::Done);
    const Bytes row = {0xA5, 0x01, 0x00, 0x00, 0x00, 0x00, 0x02, 0x00, 0xD2, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00};
    // The read-back that becomes the host's row is read twice.
    EXPECT_EQ(SentBytes(), Concat({{0x75}, row, BodyInfoRead(), BodyInfoRead()}));
    // 5 ms after the command byte, 1 ms after each row byte, then 100 ms.
    const int64_t t0 = T0();
    EXPECT_EQ(wire.sent[1].ms, t0 + 5);
    EXPECT_EQ(wire.sent[16].ms, t0 + 20);
    EXPECT_EQ(wire.sent[17].ms, t0 + 121);
    EXPECT_TRUE(Upper().empty());
    // The writer fills in its checksum (bytes 2-3): the body change still holds.
    EXPECT_EQ(Lower(), (std::vector<std::string>{"0000: A5 01 6A 0D 00 00 02 00 D2 00 00 00 00 00 00 00 ",
                                                 "Receiver Data Length = 16 bytes"}));
    Bytes held = WriterRow();
    held[2] = held[3] = 0;
    EXPECT_EQ(held, row);
    EXPECT_TRUE(form.MenuVisible(Control::Testcode1));
    EXPECT_TRUE(form.Enabled(Control::ComboBox3));
    EXPECT_EQ(state().ValueDigits, 4);
}

TEST_F(SelectorsTest, NoBodyPickedIsRefusedAndTheSelectorsFollowTheUnchangedRow) {
    const Bytes before = WriterRow();
    view.SetSelection(Control::ComboBox1, -1);
    ClearRecords();
    EXPECT_EQ(ComboBox1Change(ctx()), Outcome::Refused);
    EXPECT_TRUE(Traced("ShowNotice The body is not available !!!"));
    EXPECT_TRUE(wire.sent.empty());
    EXPECT_EQ(WriterRow(), before);
    EXPECT_EQ(form.Selector(Control::ComboBox1).selection, kRx4400);
}

TEST_F(SelectorsTest, ASilentWriterLeavesTheEditedRowAndFails) {
    writer->SetCommand(0x57, {});
    view.SetSelection(Control::ComboBox1, kRx4935);
    EXPECT_EQ(ComboBox1Change(ctx()), Outcome::Failed);
    EXPECT_EQ(Lower(), (std::vector<std::string>{"", "Receiver Data Length = 0 bytes",
                                                 "  -----> Option error: 0 of 16 bytes received !!!"}));
    EXPECT_EQ(state().BodyInfo[0][1], kRx4935);
}

// ---------------------------------------------------------------- lock

TEST_F(SelectorsTest, TheLockOptionBitFollowsTheSettingAndThePolarity) {
    for (const bool polarity : {false, true}) {
        for (const bool on : {true, false}) {
            Bytes row = WriterRow();
            row[4] = static_cast<uint8_t>(polarity ? 0x81 : 0x80);
            SetWriterRow(row);
            const bool expectBit = on != polarity;
            state().OptionBytes[0] = static_cast<uint8_t>(0xF0 | (expectBit ? 0 : 1));
            view.SetSelection(Control::ComboBox4, on ? 1 : 0);
            ClearRecords();
            EXPECT_EQ(ComboBox4Change(ctx()), Outcome::Done);
            const std::string what = std::string(polarity ? "polarity 1 " : "polarity 0 ") + (on ? "ON" : "OFF");
            EXPECT_EQ(state().OptionBytes[0], 0xF0 | (expectBit ? 1 : 0)) << what;
            const uint8_t flags = static_cast<uint8_t>(row[4] | (on ? 0x40 : 0));
            EXPECT_EQ(RowSent()[4], flags) << what;
            EXPECT_EQ(WriterRow()[4], flags) << what;
            EXPECT_EQ(form.SelectedText(Control::ComboBox4), on ? "ON" : "OFF") << what;
        }
    }
}

TEST_F(SelectorsTest, ALockChangeRefreshesTheRowFirstPausesAndShowsTheWritersChecksum) {
    Bytes row = WriterRow();
    view.SetSelection(Control::ComboBox4, 1);
    ClearRecords();
    ComboBox4Change(ctx());
    row[4] |= 0x40;
    // The row that goes back is read twice first, and twice after.
    EXPECT_EQ(SentBytes(), Concat({BodyInfoRead(), BodyInfoRead(), {0x75}, row, BodyInfoRead(), BodyInfoRead()}));
    EXPECT_EQ(GapAfterRow(), 1 + 100 + 30);
    // Edit1 shows the checksum the writer keeps, as it now reads.
    const int sum = writer->HeldChecksum();
    EXPECT_EQ(TraceOf("SetFieldText"), std::vector<std::string>{"SetFieldText Edit1 " + FormatHex(sum, 4)});
    EXPECT_EQ(Lower(), (std::vector<std::string>{"0000: A5 00 " + FormatHex(sum & 0xFF, 2) + " " +
                                                     FormatHex(sum >> 8, 2) + " C0 00 04 00 80 00 00 00 00 00 00 00 ",
                                                 "Receiver Data Length = 16 bytes"}));
}

// ---------------------------------------------------------------- rolling code

TEST_F(SelectorsTest, RollingCodeOffClearsOnlyItsBit) {
    const Bytes writerRow = {0xA5, 0x01, 0x11, 0x22, 0x7F, 0x00, 0x02, 0x33, 0xD2, 0x44, 0x55, 0x66, 0x77, 0xE5, 0x88, 0x99};
    SetWriterRow(writerRow);
    Bytes expected = WriterRow();  // with the writer's checksum, as it is read
    state().BodyInfo[0][9] = 0xEE;  // the host's stale copy does not matter
    view.SetSelection(Control::ComboBox3, 0);
    ClearRecords();
    EXPECT_EQ(ComboBox3Change(ctx()), Outcome::Done);
    expected[4] = 0x5F;
    EXPECT_EQ(RowSent(), expected);
    EXPECT_EQ(GapAfterRow(), 1 + 100 + 50);
    EXPECT_TRUE(TraceOf("SetFieldText").empty());
    EXPECT_EQ(Lower().back(), "Receiver Data Length = 16 bytes");

    view.SetSelection(Control::ComboBox3, 1);
    ClearRecords();
    ComboBox3Change(ctx());
    EXPECT_EQ(RowSent()[4], 0x7F);
    EXPECT_EQ(form.SelectedText(Control::ComboBox3), "ON");
}

// ---------------------------------------------------------------- bank numbers

TEST_F(SelectorsTest, TheSearchEntriesSitAfterTheBanks) {
    for (int i = 0; i <= 7; ++i) EXPECT_FALSE(IsBankSearch(i, false)) << i;
    EXPECT_TRUE(IsBankSearch(8, false));
    EXPECT_TRUE(IsBankSearch(9, false));
    EXPECT_TRUE(IsLastUsedSearch(8, false));
    EXPECT_FALSE(IsLastUsedSearch(9, false));
    EXPECT_FALSE(IsBankSearch(0, true));
    EXPECT_FALSE(IsBankSearch(1, true));
    EXPECT_TRUE(IsBankSearch(2, true));
    EXPECT_TRUE(IsBankSearch(3, true));
    EXPECT_TRUE(IsLastUsedSearch(2, true));
    EXPECT_FALSE(IsLastUsedSearch(3, true));
}

TEST_F(SelectorsTest, ABankNumberGoesIntoTheTopBitsOfByte13) {
    EightBankBody(0x1F);
    state().BodyInfo[0][4] |= 0x08;  // a search asked for earlier is cleared
    EXPECT_EQ(PickBank(5), Outcome::Done);
    const Bytes row = RowSent();
    ASSERT_EQ(row.size(), 16u);
    EXPECT_EQ(row[13], 0xBF);
    EXPECT_EQ(row[4], 0x80);
    EXPECT_EQ(Lower(), (std::vector<std::string>{"0000: A5 00 78 0E 80 00 04 00 A0 00 00 00 00 BF 00 00 ",
                                                 "Receiver Data Length = 16 bytes", "Bank switch to Bank_5"}));
    EXPECT_EQ(form.Selector(Control::ComboBox5).selection, 5);
    EXPECT_EQ(TraceOf("SetSelection"), std::vector<std::string>{"SetSelection ComboBox5 5"});
    EXPECT_EQ(GapAfterRow(), 1 + 100 + 30);
    const Bytes sent = SentBytes();
    EXPECT_EQ(std::count(sent.begin(), sent.end(), 0x55), 0);  // no search byte
}

TEST_F(SelectorsTest, TwoBankBodiesTakeBankOne) {
    PickBody(kRx4935);
    EXPECT_EQ(form.Selector(Control::ComboBox5).items,
              (std::vector<std::string>{"Bank 0", "Bank 1", "Last used", "1st Un-use"}));
    EXPECT_EQ(PickBank(1), Outcome::Done);
    EXPECT_EQ(RowSent()[13], 0x20);
    EXPECT_EQ(Lower().back(), "Bank switch to Bank_1");
    EXPECT_EQ(form.SelectedText(Control::ComboBox5), "Bank 1");
}

// ---------------------------------------------------------------- bank search

TEST_F(SelectorsTest, LastUsedOnATwoBankBodyFindsTheWritersAnswer) {
    PickBody(kRx4935);
    Chip().usedBanks = 0x03;
    EXPECT_EQ(PickBank(2), Outcome::Done);
    const Bytes row = RowSent();
    EXPECT_EQ(row[4] & 0x0C, 0x08);  // search, last used
    EXPECT_EQ(Lower(), (std::vector<std::string>{"Search Bank execution ................",
                                                 "0000: A5 02 EF 09 88 00 08 00 A8 00 00 00 00 20 00 00 ",
                                                 "Receiver Data Length = 16 bytes",
                                                 "Bank search finish, and Bank switch to Bank_1"}));
    EXPECT_EQ(form.SelectedText(Control::ComboBox5), "Bank 1");
    // The search byte 30 ms after the row's 100 ms, then 200 ms until the drain.
    size_t u = 0;
    while (wire.sent[u].byte != 0x55) ++u;
    EXPECT_EQ(wire.sent[u].ms - wire.sent[u - 1].ms, 1 + 100 + 30);
    EXPECT_EQ(wire.drains[0], wire.sent[u].ms + 200);
    EXPECT_EQ(state().ReadBackBuffer[13], 0x20);
}

TEST_F(SelectorsTest, FirstUnusedOnAnEightBankBodyGoesToTheBankTheWriterFound) {
    EightBankBody(0x00);
    Chip().usedBanks = 0x07;
    EXPECT_EQ(PickBank(9), Outcome::Done);
    EXPECT_EQ(RowSent()[4], 0x8C);  // search, first unused
    EXPECT_EQ(state().BodyInfo[0][13], 0x60);
    EXPECT_EQ(Lower().back(), "Bank search finish, and Bank switch to Bank_3");
    EXPECT_EQ(form.SelectedText(Control::ComboBox5), "Bank 3");

    EightBankBody(0x00);
    EXPECT_EQ(PickBank(8), Outcome::Done);
    EXPECT_EQ(RowSent()[4], 0x88);  // search, last used
    EXPECT_EQ(Lower().back(), "Bank search finish, and Bank switch to Bank_2");
}

TEST_F(SelectorsTest, AFailedSearchGoesBackToBankZeroWithoutReadBack) {
    const std::vector<std::string> errorLines = {"Search Bank execution ................",
                                                 "  -----> OTP Search Bank Error !!!",
                                                 "  -----> IC put on socket error or jumper setting error !!!"};
    // No IC, an IC without a used bank, a writer that says nothing.
    Insert(emu::IcKind::None);
    EightBankBody(0x40);
    EXPECT_EQ(PickBank(8), Outcome::Failed);
    EXPECT_EQ(Lower(), errorLines);
    EXPECT_EQ(form.Selector(Control::ComboBox5).selection, 0);
    EXPECT_EQ(state().BodyInfo[0][4], 0x88);  // the search bits stay as sent
    EXPECT_EQ(state().BodyInfo[0][13], 0x40);
    const Bytes sent = SentBytes();
    EXPECT_EQ(Bytes(sent.end() - 1, sent.end()), Bytes{0x55});  // nothing after the search byte

    Insert(emu::IcKind::Blank);
    EightBankBody(0x00);
    EXPECT_EQ(PickBank(8), Outcome::Failed);
    EXPECT_EQ(state().ReadBackBuffer[0], 0x02);

    writer->SetCommand(0x55, {});
    EightBankBody(0x00);
    EXPECT_EQ(PickBank(9), Outcome::Failed);
    EXPECT_EQ(Lower(), errorLines);
}

TEST_F(SelectorsTest, AfterAFailedOpenTheSearchTakesItsErrorPath) {
    EightBankBody(0x00);
    emulated.FailOpen("COM1");
    EXPECT_EQ(PickBank(9), Outcome::Failed);
    EXPECT_EQ(Lower().back(), "  -----> IC put on socket error or jumper setting error !!!");
    EXPECT_EQ(form.Selector(Control::ComboBox5).selection, 0);
    EXPECT_TRUE(wire.sent.empty());
}
