// The Testcode menu: reading the IC's test code as words, writing the
// body's, the confirmation and the refusals before the port is opened.
#include "OtpFixture.h"
#include "operations/TestCode.h"

using namespace otp;
using test::WireByte;

namespace {
using Bytes = std::vector<uint8_t>;
const std::string kSocketLine = "  -----> IC put on socket error or jumper setting error !!!";
}  // namespace

class TestCodeTest : public test::OtpTest {};

// ---------------------------------------------------------------- read

TEST_F(TestCodeTest, ABodyWithoutTestCodeIsRefusedWithoutOpeningThePort) {
    EXPECT_EQ(Read1Click(ctx()), Outcome::Refused);
    EXPECT_EQ(Lower(), std::vector<std::string>{"  -----> This Body no Test code Inside !!!"});
    EXPECT_EQ(wire.opens, 0);
}

TEST_F(TestCodeTest, FourBytesAreTwoWordsLowByteFirst) {
    PickBody(kRx4720);
    Script(0x51, {0x34, 0x12, 0x03, 0x00});
    EXPECT_EQ(Read1Click(ctx()), Outcome::Done);
    EXPECT_EQ(Lower(), (std::vector<std::string>{"0000: 1234 0003 ", "Receiver Data Length = 4 bytes"}));
    const int64_t t0 = T0();
    EXPECT_EQ(wire.sent, (std::vector<WireByte>{{t0, 0x51}}));
    EXPECT_EQ(wire.drains, (std::vector<int64_t>{t0 + 200}));
    EXPECT_TRUE(TraceOf("ShowProgress").empty());
}

TEST_F(TestCodeTest, AnOddLastByteIsKeptButNotShown) {
    PickBody(kRx4720);
    Script(0x51, {0x34, 0x12, 0x03, 0x00, 0x99});
    EXPECT_EQ(Read1Click(ctx()), Outcome::Done);
    EXPECT_EQ(Lower(), (std::vector<std::string>{"0000: 1234 0003 ", "Receiver Data Length = 5 bytes"}));
    EXPECT_EQ(state().ReadBackBuffer[2], 0x99);

    Bytes eighteen;
    for (int i = 0; i < 18; ++i) eighteen.push_back(static_cast<uint8_t>(i));
    Script(0x51, eighteen);
    ClearRecords();
    Read1Click(ctx());
    EXPECT_EQ(Lower(), (std::vector<std::string>{"0000: 0100 0302 0504 0706 0908 0B0A 0D0C 0F0E ", "0008: 1110 ",
                                                 "Receiver Data Length = 18 bytes"}));
}

TEST_F(TestCodeTest, FewerThanTwoBytesMeanNoIc) {
    PickBody(kRx4720);
    for (const Bytes& reply : {Bytes{0x03}, Bytes{}}) {
        Script(0x51, reply);
        ClearRecords();
        EXPECT_EQ(Read1Click(ctx()), Outcome::Failed);
        EXPECT_EQ(Lower(), std::vector<std::string>{kSocketLine});
    }
}

TEST_F(TestCodeTest, TheSocketsIcShowsItsTestCodeBeforeAndAfterTheWrite) {
    PickBody(kRx4720);
    EXPECT_EQ(Read1Click(ctx()), Outcome::Done);
    EXPECT_EQ(Lower()[0], "0000: FFFF FFFF ");
    form.yesAnswer = true;
    EXPECT_EQ(Write1Click(ctx()), Outcome::Done);
    EXPECT_EQ(Read1Click(ctx()), Outcome::Done);
    EXPECT_EQ(Lower()[0], "0000: 7E01 81FE ");  // body code 1

    for (const emu::IcKind kind : {emu::IcKind::None, emu::IcKind::Fault}) {
        Insert(kind);
        ClearRecords();
        EXPECT_EQ(Read1Click(ctx()), Outcome::Failed) << emu::IcKindName(kind);
        EXPECT_EQ(Lower(), std::vector<std::string>{kSocketLine});
    }
}

// ---------------------------------------------------------------- write

TEST_F(TestCodeTest, NoAtTheConfirmationSendsNothing) {
    PickBody(kRx4720);
    form.AppendLine(Control::RichEdit2, "old");
    ClearRecords();
    EXPECT_EQ(Write1Click(ctx()), Outcome::Refused);
    EXPECT_EQ(trace, (std::vector<std::string>{"ClearPane RichEdit2", "AskYesNo Please confirm IC body is right !!! -> no"}));
    EXPECT_TRUE(Lower().empty());
    EXPECT_EQ(wire.opens, 0);
}

TEST_F(TestCodeTest, TheFlagsAreTestedAfterTheQuestion) {
    form.yesAnswer = true;
    EXPECT_EQ(Write1Click(ctx()), Outcome::Refused);  // RX4400 has no test code
    EXPECT_EQ(Lower(), std::vector<std::string>{"  -----> This Body don't need write Test code !!!"});
    EXPECT_EQ(TraceOf("AskYesNo").size(), 1u);
    EXPECT_EQ(wire.opens, 0);

    PickBody(kRx5100);  // MTP with a test code
    form.yesAnswer = true;
    EXPECT_EQ(Write1Click(ctx()), Outcome::Refused);
    EXPECT_EQ(Lower(), std::vector<std::string>{"  -----> The body is MTP and does not allow write test code !!!"});
    EXPECT_EQ(wire.opens, 0);
}

TEST_F(TestCodeTest, OnlyTheSingleByteZeroIsAWrittenTestCode) {
    PickBody(kRx4720);
    form.yesAnswer = true;
    const struct {
        Bytes reply;
        bool ok;
    } cases[] = {{{0x00}, true}, {{0x00, 0x00}, false}, {{0x01}, false}, {{}, false}};
    for (const auto& c : cases) {
        Script(0x53, c.reply);
        ClearRecords();
        EXPECT_EQ(Write1Click(ctx()), c.ok ? Outcome::Done : Outcome::Failed) << c.reply.size();
        EXPECT_EQ(Lower(), (std::vector<std::string>{"Test Code write Command execution ................",
                                                     c.ok ? "  -----> Test Code Write OK !!!"
                                                          : "  -----> Test Code Write Fail !!!"}));
        const int64_t t0 = T0();
        EXPECT_EQ(wire.sent, (std::vector<WireByte>{{t0, 0x53}}));
        EXPECT_EQ(wire.drains, (std::vector<int64_t>{t0 + 200}));
        if (!c.reply.empty()) {
            EXPECT_EQ(state().ReadBackBuffer[0], c.reply[0]);
        }
    }
    // The line comes before the port is opened and the byte sent.
    EXPECT_EQ(trace[2], "AppendLine RichEdit2 Test Code write Command execution ................");
    EXPECT_EQ(trace[3], "Send 53");
}

TEST_F(TestCodeTest, TheWriterRefusesAForeignIcAndAnotherBodysCode) {
    PickBody(kRx4720);
    form.yesAnswer = true;
    Insert(emu::IcKind::WrongBody);
    EXPECT_EQ(Write1Click(ctx()), Outcome::Failed);
    EXPECT_EQ(state().ReadBackBuffer[0], 0x04);

    Insert(emu::IcKind::Blank);
    Chip().testCode = emu::BodyTestCode(5);
    EXPECT_EQ(Write1Click(ctx()), Outcome::Failed);
    EXPECT_EQ(state().ReadBackBuffer[0], 0x02);

    emulated.FailOpen("COM1");
    EXPECT_EQ(Write1Click(ctx()), Outcome::Failed);
    EXPECT_EQ(Lower().back(), "  -----> Test Code Write Fail !!!");
    EXPECT_EQ(Read1Click(ctx()), Outcome::Failed);
    EXPECT_EQ(Lower(), std::vector<std::string>{kSocketLine});
}
