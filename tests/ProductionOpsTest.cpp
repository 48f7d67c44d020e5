// Auto, Blank Check, Program and Verify against the emulated writer: the
// command step, the waits, the verdicts, the rolling code and the socket.
#include "OtpFixture.h"
#include "operations/CopyMaster.h"
#include "operations/ProductionOps.h"
#include "operations/ReadOtp.h"
#include "romfile/UploadRom.h"

using namespace otp;
using test::WireByte;

namespace {

using Bytes = std::vector<uint8_t>;

const std::string kBlankOk = "  -----> OTP Blank Check OK !!!";
const std::string kBlankFail = "  -----> OTP Blank Check Fail !!!";
const std::string kFinish = "  -----> OTP Program Finish !!!";
const std::string kVerifyOk = "  -----> OTP Verify OK !!!";
const std::string kVerifyFail = "  -----> OTP Verify Fail !!!";

// Seventeen reply bytes: the rolling-code words 1234 5678 9ABC DEF0 0011
// 0022 0033 0044, low byte first, then `status`.
Bytes RollingReply(uint8_t status) {
    return {0x34, 0x12, 0x78, 0x56, 0xBC, 0x9A, 0xF0, 0xDE, 0x11, 0x00, 0x22, 0x00, 0x33, 0x00, 0x44, 0x00, status};
}

}  // namespace

class ProductionOpsTest : public test::OtpTest {
protected:
    // The writer holds an image that is not all ones.
    void GiveWriterImage(size_t bytes = 1024) {
        Bytes image(bytes);
        for (size_t i = 0; i < bytes; ++i) image[i] = static_cast<uint8_t>(i * 5 + 3);
        writer->WriteMemory(emu::WriterEmulator::kImageAddr, image);
    }
    void RollingOn() {
        view.SetSelection(Control::ComboBox3, 1);
        ComboBox3Change(ctx());
        ClearRecords();
    }
};

// ---------------------------------------------------------------- command step and order

TEST_F(ProductionOpsTest, BlankCheckSendsItsByteThenAnnouncesWaitsTheBodysTicksAndJudges) {
    EXPECT_EQ(Button2Click(ctx()), Outcome::Done);
    EXPECT_EQ(trace, (std::vector<std::string>{
                         "ClearPane RichEdit2", "Send 63",
                         "AppendLine RichEdit2 Blank Check Command execution ................",
                         "AppendLine RichEdit2 Blank Check ................", "SetProgressMax 50", "ShowProgress on",
                         "ShowProgress off", "Drain 1", "AppendLine RichEdit2 " + kBlankOk}));
    const int64_t t0 = T0();
    EXPECT_EQ(wire.sent, (std::vector<WireByte>{{t0, 0x63}}));
    EXPECT_EQ(wire.drains, (std::vector<int64_t>{t0 + 10 + 500}));
    EXPECT_EQ(wire.opens, 1);
    EXPECT_EQ(state().ReadBackBuffer[0], 0x00);
}

TEST_F(ProductionOpsTest, ProgramAndVerifyWaitTheirOwnTicks) {
    EXPECT_EQ(Button3Click(ctx()), Outcome::Done);
    EXPECT_EQ(Lower(), (std::vector<std::string>{"Program Command execution ................", "Programming ................",
                                                 kFinish, "Verify ................", kVerifyOk}));
    EXPECT_EQ(TraceOf("Send"), std::vector<std::string>{"Send 65"});
    EXPECT_EQ(trace[1], "Send 65");  // sent before the announcement
    EXPECT_EQ(wire.drains, (std::vector<int64_t>{T0() + 10 + 3000}));

    ClearRecords();
    EXPECT_EQ(Button4Click(ctx()), Outcome::Done);
    EXPECT_EQ(Lower(), (std::vector<std::string>{"Verify Command execution ................", "Verify ................", kVerifyOk}));
    EXPECT_EQ(trace[1], "Send 67");
    EXPECT_EQ(wire.drains, (std::vector<int64_t>{T0() + 10 + 1000}));

    // Another body, other waits.
    PickBody(kRx4720);
    Button2Click(ctx());
    EXPECT_EQ(wire.drains, (std::vector<int64_t>{T0() + 10 + 600}));
}

TEST_F(ProductionOpsTest, AutoAnnouncesBeforeSendingAndProgramsABlankIc) {
    GiveWriterImage();
    EXPECT_EQ(Button1Click(ctx()), Outcome::Done);
    EXPECT_EQ(trace, (std::vector<std::string>{
                         "ClearPane RichEdit2", "AppendLine RichEdit2 Auto Command execution ................", "Send 63",
                         "AppendLine RichEdit2 Blank Check ................", "SetProgressMax 50", "ShowProgress on",
                         "ShowProgress off", "Drain 1", "AppendLine RichEdit2 " + kBlankOk, "Send 65",
                         "AppendLine RichEdit2 Programming ................", "SetProgressMax 300", "ShowProgress on",
                         "ShowProgress off", "Drain 1", "AppendLine RichEdit2 " + kFinish,
                         "AppendLine RichEdit2 Verify ................", "AppendLine RichEdit2 " + kVerifyOk}));
    const int64_t t0 = T0();
    EXPECT_EQ(wire.sent, (std::vector<WireByte>{{t0, 0x63}, {t0 + 510, 0x65}}));
    EXPECT_EQ(wire.drains, (std::vector<int64_t>{t0 + 510, t0 + 510 + 3010}));
    EXPECT_EQ(Chip().banks[0][1], 8);  // the writer's image is in the IC
}

TEST_F(ProductionOpsTest, AutoOnAProgrammedIcSendsOnlyTheBlankCheckAndStops) {
    GiveWriterImage();
    ASSERT_EQ(Button1Click(ctx()), Outcome::Done);
    ClearRecords();
    EXPECT_EQ(Button1Click(ctx()), Outcome::Failed);
    EXPECT_EQ(SentBytes(), Bytes{0x63});
    EXPECT_EQ(Lower(), (std::vector<std::string>{"Auto Command execution ................", "Blank Check ................", kBlankFail}));
    EXPECT_EQ(state().ReadBackBuffer[0], emu::kIcCellsWrong);
    EXPECT_EQ(wire.opens, 1);
}

// ---------------------------------------------------------------- verdicts

TEST_F(ProductionOpsTest, BlankCheckIsOkOnlyForTheSingleByteZero) {
    const struct {
        Bytes reply;
        bool ok;
    } cases[] = {{{0x00}, true}, {{0x01}, false}, {{}, false}, {{0x00, 0x00}, false}, {{0x80}, false}};
    for (const auto& c : cases) {
        Script(0x63, c.reply);
        ClearRecords();
        EXPECT_EQ(Button2Click(ctx()), c.ok ? Outcome::Done : Outcome::Failed) << c.reply.size();
        EXPECT_EQ(Lower().back(), c.ok ? kBlankOk : kBlankFail) << c.reply.size();
    }
}

TEST_F(ProductionOpsTest, ProgramIsOkForOneZeroByteOrSeventeenBytesEndingInZero) {
    Bytes seventeenOk = RollingReply(0x00);
    Bytes seventeenBad = RollingReply(0x01);
    const struct {
        Bytes reply;
        bool ok;
    } cases[] = {
        {{0x00}, true},       {{0x01}, false},          {{}, false},         {{0x00, 0x00}, false},
        {seventeenOk, true},  {seventeenBad, false},    {Bytes(16, 0), false}, {Bytes(18, 0), false},
    };
    for (const auto& c : cases) {
        Script(0x65, c.reply);
        ClearRecords();
        EXPECT_EQ(Button3Click(ctx()), c.ok ? Outcome::Done : Outcome::Failed) << c.reply.size();
        const auto lines = Lower();
        ASSERT_EQ(lines.size(), 5u) << c.reply.size();  // rolling code is off
        EXPECT_EQ(lines[2], kFinish);
        EXPECT_EQ(lines[4], c.ok ? kVerifyOk : kVerifyFail) << c.reply.size();
    }
}

TEST_F(ProductionOpsTest, VerifyLooksOnlyAtTheFirstByte) {
    const struct {
        Bytes reply;
        bool ok;
    } cases[] = {{{0x00}, true}, {{0x00, 0x12, 0x34}, true}, {{0x01}, false}, {{}, false}, {{0x01, 0x00}, false}};
    for (const auto& c : cases) {
        Script(0x67, c.reply);
        ClearRecords();
        EXPECT_EQ(Button4Click(ctx()), c.ok ? Outcome::Done : Outcome::Failed) << c.reply.size();
        EXPECT_EQ(Lower().back(), c.ok ? kVerifyOk : kVerifyFail);
    }
}

TEST_F(ProductionOpsTest, TheReplyIsCopiedIntoReadBackAndTheRestKeepsItsValues) {
    state().ReadBackBuffer[3] = 0x1234;
    Script(0x67, {0x00, 0x12, 0x34});
    Button4Click(ctx());
    EXPECT_EQ(state().ReadBackBuffer[0], 0x00);
    EXPECT_EQ(state().ReadBackBuffer[1], 0x12);
    EXPECT_EQ(state().ReadBackBuffer[2], 0x34);
    EXPECT_EQ(state().ReadBackBuffer[3], 0x1234);
}

// ---------------------------------------------------------------- rolling code

TEST_F(ProductionOpsTest, RollingCodeGoesToRomImageAtTheBodysBaseAndIsDumped) {
    for (const bool high : {true, false}) {
        auto& row = state().BodyInfo[0];
        row[4] |= 0x20;
        row[8] = high ? static_cast<uint8_t>(row[8] | 0x10) : static_cast<uint8_t>(row[8] & ~0x10);
        const int base = high ? 0x1F8 : 0x3F8;
        state().RomImage[static_cast<size_t>(base)] = 0;
        const std::string total = FormatHex((state().OptionChecksum + state().ObjectChecksum) & 0xFFFF, 4);
        Script(0x65, RollingReply(0x00));
        ClearRecords();
        EXPECT_EQ(Button3Click(ctx()), Outcome::Done);
        const std::string label = high ? "01F8" : "03F8";
        EXPECT_EQ(Lower(), (std::vector<std::string>{"Program Command execution ................", "Programming ................",
                                                     kFinish, "Verify ................", kVerifyOk,
                                                     "Rolling code is ....................",
                                                     label + ": 1234 5678 9ABC DEF0 0011 0022 0033 0044 "}));
        const int32_t words[] = {0x1234, 0x5678, 0x9ABC, 0xDEF0, 0x11, 0x22, 0x33, 0x44};
        for (int k = 0; k < 8; ++k) {
            EXPECT_EQ(state().RomImage[static_cast<size_t>(base + k)], words[k]) << k;
            EXPECT_EQ(state().ReadBackBuffer[static_cast<size_t>(k)], words[k]) << k;
        }
        // The stored sums are shown again; the new words do not enter them.
        EXPECT_EQ(TraceOf("SetFieldText"), std::vector<std::string>{"SetFieldText Edit1 " + total});
    }
}

TEST_F(ProductionOpsTest, RollingCodeIsShownEvenWhenTheVerifyFails) {
    state().BodyInfo[0][4] |= 0x20;
    Script(0x65, RollingReply(0x02));
    EXPECT_EQ(Button3Click(ctx()), Outcome::Failed);
    const auto lines = Lower();
    ASSERT_EQ(lines.size(), 7u);
    EXPECT_EQ(lines[4], kVerifyFail);
    EXPECT_EQ(lines[5], "Rolling code is ....................");
}

TEST_F(ProductionOpsTest, NoRollingCodeWithoutSeventeenBytesOrWithRollingCodeOff) {
    state().RomImage[0x3F8] = 0x0ABC;
    state().BodyInfo[0][4] |= 0x20;
    Script(0x65, {0x00});
    EXPECT_EQ(Button3Click(ctx()), Outcome::Done);
    EXPECT_EQ(Lower().size(), 5u);
    EXPECT_TRUE(TraceOf("SetFieldText").empty());

    state().BodyInfo[0][4] &= static_cast<uint8_t>(~0x20);
    Script(0x65, RollingReply(0x00));
    ClearRecords();
    EXPECT_EQ(Button3Click(ctx()), Outcome::Done);
    EXPECT_EQ(Lower().size(), 5u);
    EXPECT_EQ(state().RomImage[0x3F8], 0x0ABC);
    EXPECT_TRUE(TraceOf("SetFieldText").empty());
}

TEST_F(ProductionOpsTest, TheWriterHandsOutEightNewRollingCodeWordsPerIc) {
    PickBody(kRx4720);
    RollingOn();
    // After the body change the writer's image is known again once taken over.
    ASSERT_EQ(UploadtoWriter1Click(ctx()), Outcome::Done);
    EXPECT_EQ(Button1Click(ctx()), Outcome::Done);
    auto lines = Lower();
    ASSERT_EQ(lines.size(), 9u);
    EXPECT_EQ(lines[7], "Rolling code is ....................");
    EXPECT_EQ(lines[8], "01F8: 0100 0101 0102 0103 0104 0105 0106 0107 ");
    EXPECT_EQ(state().RomImage[0x1F8], 0x0100);
    // The words sit in the IC at values 0x1F8-0x1FF, low byte first.
    EXPECT_EQ(Chip().banks[0][2 * 0x1F8], 0x00);
    EXPECT_EQ(Chip().banks[0][2 * 0x1F8 + 1], 0x01);
    EXPECT_EQ(Chip().banks[0][2 * 0x1FF], 0x07);

    Insert(emu::IcKind::Blank);  // the next chip
    ClearRecords();
    EXPECT_EQ(Button1Click(ctx()), Outcome::Done);
    EXPECT_EQ(Lower().back(), "01F8: 0108 0109 010A 010B 010C 010D 010E 010F ");
    EXPECT_EQ(writer->Socket().NextRollingCode(), 0x0110);
}

// ---------------------------------------------------------------- waits

TEST_F(ProductionOpsTest, AWaitOfZeroTicksDrainsRightAfterTheCommandPauseAndMissesTheAnswer) {
    state().BNK_DLY[kRx4400] = 0;
    EXPECT_EQ(Button2Click(ctx()), Outcome::Failed);
    EXPECT_EQ(wire.drains, (std::vector<int64_t>{T0() + 10}));
    EXPECT_TRUE(Traced("SetProgressMax 0"));
    EXPECT_TRUE(Traced("Drain 0"));
    EXPECT_EQ(Lower().back(), kBlankFail);
}

TEST_F(ProductionOpsTest, AProgramWaitShorterThanTheWritersWorkGivesAFail) {
    // 1024 values take the writer 1029 ms; 100 ticks are 1000 ms.
    GiveWriterImage();
    state().PRG_DLY[kRx4400] = 100;
    EXPECT_EQ(Button3Click(ctx()), Outcome::Failed);
    EXPECT_TRUE(Traced("Drain 0"));
    EXPECT_EQ(Lower().back(), kVerifyFail);
    EXPECT_EQ(Chip().usedBanks, 0x01);  // the writer did its work all the same

    state().PRG_DLY[kRx4400] = 103;
    Insert(emu::IcKind::Blank);
    pacer.Sleep(2000);
    ClearRecords();
    EXPECT_EQ(Button3Click(ctx()), Outcome::Done);
}

// ---------------------------------------------------------------- the IC in the socket

TEST_F(ProductionOpsTest, BlankCheckStatusFollowsTheSocket) {
    const struct {
        emu::IcKind kind;
        int status;
    } cases[] = {{emu::IcKind::Blank, 0x00},      {emu::IcKind::Programmed, 0x02}, {emu::IcKind::Locked, 0x01},
                 {emu::IcKind::None, 0x03},       {emu::IcKind::Fault, 0x03},      {emu::IcKind::WrongBody, 0x04}};
    for (const auto& c : cases) {
        Insert(c.kind);
        ClearRecords();
        EXPECT_EQ(Button2Click(ctx()), c.status == 0 ? Outcome::Done : Outcome::Failed) << emu::IcKindName(c.kind);
        EXPECT_EQ(state().ReplyLength, 1);
        EXPECT_EQ(state().ReadBackBuffer[0], c.status) << emu::IcKindName(c.kind);
    }
}

TEST_F(ProductionOpsTest, ProgramVerifyAndTheirFailuresOnTheSocketsIc) {
    GiveWriterImage();
    EXPECT_EQ(Button4Click(ctx()), Outcome::Failed);  // blank IC, image not all ones
    EXPECT_EQ(state().ReadBackBuffer[0], 0x02);
    EXPECT_EQ(Button3Click(ctx()), Outcome::Done);
    EXPECT_EQ(Button4Click(ctx()), Outcome::Done);

    // A programmed IC keeps its zeros: another image no longer verifies.
    Insert(emu::IcKind::Programmed);
    EXPECT_EQ(Button3Click(ctx()), Outcome::Failed);
    EXPECT_EQ(state().ReadBackBuffer[0], 0x02);
    EXPECT_EQ(Chip().banks[0][1], emu::MasterCell(1) & 8);

    for (const emu::IcKind kind : {emu::IcKind::Locked, emu::IcKind::None, emu::IcKind::WrongBody}) {
        Insert(kind);
        ClearRecords();
        EXPECT_EQ(Button3Click(ctx()), Outcome::Failed) << emu::IcKindName(kind);
        EXPECT_EQ(Lower().back(), kVerifyFail);
    }
}

TEST_F(ProductionOpsTest, LockOnLocksTheIcWhenItIsProgrammed) {
    view.SetSelection(Control::ComboBox4, 1);
    ComboBox4Change(ctx());
    ClearRecords();
    GiveWriterImage();
    EXPECT_EQ(Button1Click(ctx()), Outcome::Done);
    EXPECT_TRUE(Chip().locked);
    ClearRecords();
    EXPECT_EQ(Button2Click(ctx()), Outcome::Failed);
    EXPECT_EQ(state().ReadBackBuffer[0], 0x01);
}

// ---------------------------------------------------------------- refusals and a dead port

TEST_F(ProductionOpsTest, WithNoUsableBodySelectedNothingIsSent) {
    // One more body, whose INFO list stops before its image length (bytes 5-6).
    std::string ini = ExampleIni();
    ini.insert(ini.rfind("IC_BODY_END"), "BODY RX9\nBNK_DLY 50\nPRG_DLY 300\nVER_DLY 100\nINFO $A5,4,0\n");
    dir.Write("Writer.ini", ini);
    view.ClearChoices(Control::ComboBox1);
    ASSERT_EQ(RunStartup(ctx()), StartupResult::Ready);
    const struct {
        const char* name;
        int selection;
    } rows[] = {{"no body selected", -1}, {"a body whose Writer.ini row gives an image length of 0", 4}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        for (Outcome (*op)(Context&) :
             {Button1Click, Button2Click, Button3Click, Button4Click, Button5Click, Button6Click}) {
            view.SetSelection(Control::ComboBox1, row.selection);
            form.AppendLine(Control::RichEdit2, "kept");
            ClearRecords();
            EXPECT_EQ(op(ctx()), Outcome::Refused);
            EXPECT_EQ(trace, std::vector<std::string>{"ShowNotice The body is not available !!!"});
            EXPECT_EQ(wire.opens, 0);
            EXPECT_EQ(Lower().back(), "kept");
        }
    }
    EXPECT_EQ(Chip().usedBanks, 0);  // the blank IC in the socket was never programmed
}

TEST_F(ProductionOpsTest, AfterAFailedOpenEveryVerdictSeesNoReply) {
    emulated.FailOpen("COM1");
    const int64_t before = pacer.NowMs();
    EXPECT_EQ(Button1Click(ctx()), Outcome::Failed);
    EXPECT_EQ(pacer.NowMs() - before, 10 + 500);  // the steps ran on, waits included
    EXPECT_EQ(TraceOf("ShowErrorBox"), std::vector<std::string>{"ShowErrorBox ERROR RS232 open error!!!"});
    EXPECT_EQ(Lower(), (std::vector<std::string>{"Auto Command execution ................", "Blank Check ................", kBlankFail}));
    EXPECT_TRUE(wire.sent.empty());
    EXPECT_EQ(Button3Click(ctx()), Outcome::Failed);
    EXPECT_EQ(Lower().back(), kVerifyFail);
    EXPECT_EQ(Button4Click(ctx()), Outcome::Failed);
    EXPECT_EQ(state().ReplyLength, 0);
}
