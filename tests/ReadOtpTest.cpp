// Read: the judgement of the writer's reply, the checksum lines, the option
// and object reads with their layout, and what a real read shows.
#include "OtpFixture.h"
#include "operations/ReadOtp.h"
#include "WireRequests.h"

using namespace otp;
using test::WireByte;

using otp::test::BlockReadRequest;

namespace {

using Bytes = std::vector<uint8_t>;


}  // namespace

class ReadOtpTest : public test::OtpTest {
protected:
    // What the writer holds as read from an IC: options 10..1F at 0xBF80,
    // byte i = i & 0xFF from 0x8000.
    void FillReadOut() {
        Bytes options(16);
        for (int i = 0; i < 16; ++i) options[static_cast<size_t>(i)] = static_cast<uint8_t>(0x10 + i);
        writer->WriteMemory(emu::WriterEmulator::kIcOptionAddr, options);
        Bytes object(0x3F80);
        for (size_t i = 0; i < object.size(); ++i) object[i] = static_cast<uint8_t>(i & 0xFF);
        writer->WriteMemory(emu::WriterEmulator::kIcImageAddr, object);
    }

    // The lines that follow the reply judgement for RX4400 and FillReadOut().
    std::vector<std::string> ReadOutLines() const {
        std::vector<std::string> lines = {"0000: 10 11 12 13 14 15 16 17 18 19 1A 1B 1C 1D 1E 1F ",
                                          "Receiver Data Length = 16 bytes", "Option Checksum =0178"};
        std::vector<int32_t> object(1024);
        for (int i = 0; i < 1024; ++i) object[static_cast<size_t>(i)] = i & 0xFF;
        for (const std::string& row : Rows(object, 16, 2, 0)) lines.push_back(row);
        lines.push_back("Receiver Data Length = 1024 bytes");
        lines.push_back("Object Checksum = FE00");
        return lines;
    }

    std::vector<std::string> With(std::vector<std::string> head, const std::vector<std::string>& tail) const {
        head.insert(head.end(), tail.begin(), tail.end());
        return head;
    }
};

// ---------------------------------------------------------------- reply judgement

TEST_F(ReadOtpTest, AStatusOfZeroShowsOptionsAndObjectWithoutAChecksumLine) {
    FillReadOut();
    Script(0x69, {0x00});
    EXPECT_EQ(Button6Click(ctx()), Outcome::Done);
    EXPECT_EQ(Lower(), ReadOutLines());
    // The command, its 30 ms pause and the BNK_DLY wait, then the two block reads.
    const int64_t t0 = T0();
    ASSERT_GE(wire.sent.size(), 17u);
    EXPECT_EQ(wire.sent[0], (WireByte{t0, 0x69}));
    EXPECT_EQ(wire.drains.front(), t0 + 30 + 500);
    EXPECT_EQ(wire.sent[1], (WireByte{t0 + 530, 0x57}));
    Bytes sent = SentBytes();
    Bytes expected = {0x69};
    for (uint8_t b : BlockReadRequest(0xBF80, 16)) expected.push_back(b);
    for (uint8_t b : BlockReadRequest(0x8000, 1024)) expected.push_back(b);
    EXPECT_EQ(sent, expected);
}

TEST_F(ReadOtpTest, StatusesOneAndTwoAreTreatedLikeSuccess) {
    FillReadOut();
    for (uint8_t status : {0x01, 0x02}) {
        Script(0x69, {status});
        ClearRecords();
        EXPECT_EQ(Button6Click(ctx()), Outcome::Done);
        EXPECT_EQ(Lower(), ReadOutLines()) << int(status);
    }
}

TEST_F(ReadOtpTest, StatusThreeIsTheSocketErrorAndNothingIsRead) {
    Script(0x69, {0x03});
    EXPECT_EQ(Button6Click(ctx()), Outcome::Failed);
    EXPECT_EQ(Lower(), (std::vector<std::string>{"  -----> OTP Read Error !!!",
                                                 "  -----> IC no put on socket or jumper setting error !!!"}));
    EXPECT_EQ(SentBytes(), Bytes{0x69});
}

TEST_F(ReadOtpTest, OtherStatusesFromThreeOnAreTheBodyCodeError) {
    for (uint8_t status : {0x07, 0x04, 0xFF}) {
        Script(0x69, {status});
        ClearRecords();
        EXPECT_EQ(Button6Click(ctx()), Outcome::Failed);
        EXPECT_EQ(Lower(), (std::vector<std::string>{"  -----> OTP Read Error !!!",
                                                     "  -----> IC Body code (Test code) compare error !!!"}));
        EXPECT_EQ(SentBytes(), Bytes{0x69});
    }
}

TEST_F(ReadOtpTest, NoReplyIsAConnectError) {
    Script(0x69, {});
    EXPECT_EQ(Button6Click(ctx()), Outcome::Failed);
    EXPECT_EQ(Lower(), (std::vector<std::string>{"  -----> OTP Connect Error !!!", "  -----> Please check RS232 cable !!!"}));
    EXPECT_EQ(SentBytes(), Bytes{0x69});
}

TEST_F(ReadOtpTest, TwoBytesAreTheChecksumWhateverTheirFirstByte) {
    FillReadOut();
    Script(0x69, {0xAB, 0xCD});
    EXPECT_EQ(Button6Click(ctx()), Outcome::Done);
    EXPECT_EQ(Lower(), With({"Program Code checksum = ABCD"}, ReadOutLines()));
}

TEST_F(ReadOtpTest, BytesAfterTheChecksumGoInBrackets) {
    FillReadOut();
    Script(0x69, {0xAB, 0xCD, 0xEF});
    EXPECT_EQ(Button6Click(ctx()), Outcome::Done);
    EXPECT_EQ(Lower(), With({"Program Code checksum = ABCD", "[EF]"}, ReadOutLines()));

    Script(0x69, {0x12, 0x34, 0x56, 0x78, 0x9A});
    ClearRecords();
    Button6Click(ctx());
    EXPECT_EQ(Lower()[0], "Program Code checksum = 1234");
    EXPECT_EQ(Lower()[1], "[56789A]");
    EXPECT_EQ(Lower()[2], "0000: 10 11 12 13 14 15 16 17 18 19 1A 1B 1C 1D 1E 1F ");
}

// ---------------------------------------------------------------- layout of the object

TEST_F(ReadOtpTest, WordModeFoldsPairsLowByteFirstAndSumsModulo65536) {
    PickBody(kRx4720);
    state().BodyInfo[0][5] = 2;
    state().BodyInfo[0][6] = 0;
    writer->WriteMemory(emu::WriterEmulator::kIcImageAddr, {0xFF, 0xFF, 0x03, 0x00});
    Script(0x69, {0x00});
    EXPECT_EQ(Button6Click(ctx()), Outcome::Done);
    const auto lines = Lower();
    ASSERT_EQ(lines.size(), 6u);
    EXPECT_EQ(lines[3], "0000: FFFF 0003 ");
    EXPECT_EQ(lines[4], "Receiver Data Length = 4 bytes");
    EXPECT_EQ(lines[5], "Object Checksum = 0002");
    const Bytes sent = SentBytes();
    EXPECT_EQ(Bytes(sent.end() - 8, sent.end()), BlockReadRequest(0x8000, 4));
}

TEST_F(ReadOtpTest, ByteModeDumpStartsAtTheBodysOffset) {
    PickBody(kRx4935);
    state().BodyInfo[0][5] = 3;
    state().BodyInfo[0][6] = 0;
    writer->WriteMemory(emu::WriterEmulator::kIcImageAddr, {0x01, 0x02, 0x03});
    Script(0x69, {0x00});
    EXPECT_EQ(Button6Click(ctx()), Outcome::Done);
    const auto lines = Lower();
    ASSERT_EQ(lines.size(), 6u);
    EXPECT_EQ(lines[3], "0800: 01 02 03 ");
    EXPECT_EQ(lines[4], "Receiver Data Length = 3 bytes");
    EXPECT_EQ(lines[5], "Object Checksum = 0006");
}

TEST_F(ReadOtpTest, ALengthBeyondTheReadBackBufferIsReadOnlyAsFarAsItGoes) {
    for (const int body : {kRx4400, kRx4720}) {
        PickBody(body);
        state().BodyInfo[0][5] = 0xFF;
        state().BodyInfo[0][6] = 0xFF;
        Script(0x69, {0x00});
        EXPECT_EQ(Button6Click(ctx()), Outcome::Done);
        const auto lines = Lower();
        EXPECT_EQ(lines[lines.size() - 2], "Receiver Data Length = 16384 bytes") << body;
        // One request for the options, four of 4096 bytes for the object.
        const Bytes sent = SentBytes();
        EXPECT_EQ(std::count(sent.begin(), sent.end(), 0x57), 5) << body;
        EXPECT_EQ(Bytes(sent.end() - 8, sent.end()), BlockReadRequest(0xB000, 4096)) << body;
        const size_t rows = body == kRx4400 ? 16384 / 16 : 8192 / 8;
        EXPECT_EQ(lines.size(), 3 + rows + 2) << body;
        ClearRecords();
    }
}

// ---------------------------------------------------------------- the writer reads the socket's IC

TEST_F(ReadOtpTest, AProgrammedIcShowsItsSumTwiceAndItsCells) {
    Insert(emu::IcKind::Programmed);
    const std::vector<int32_t> romBefore(state().RomImage.begin(), state().RomImage.end());
    EXPECT_EQ(Button6Click(ctx()), Outcome::Done);
    int sum = 0;
    std::vector<int32_t> cells(1024);
    for (size_t i = 0; i < cells.size(); ++i) {
        cells[i] = emu::MasterCell(i);
        sum = (sum + cells[i]) & 0xFFFF;
    }
    std::vector<std::string> expected = {"Program Code checksum = " + FormatHex(sum, 4), "[00]",
                                         "0000: 00 5A FF FF FF FF FF FF FF FF FF FF FF FF FF FF ",
                                         "Receiver Data Length = 16 bytes", "Option Checksum =0E4C"};
    for (const std::string& row : Rows(cells, 16, 2, 0)) expected.push_back(row);
    expected.push_back("Receiver Data Length = 1024 bytes");
    expected.push_back("Object Checksum = " + FormatHex(sum, 4));
    EXPECT_EQ(Lower(), expected);
    // Display only.
    EXPECT_EQ(std::vector<int32_t>(state().RomImage.begin(), state().RomImage.end()), romBefore);
    EXPECT_TRUE(TraceOf("SetFieldText").empty());
    EXPECT_TRUE(TraceOf("ClearPane RichEdit1").empty());
}

TEST_F(ReadOtpTest, ALockedIcReadsAsZerosABlankOneAsOnes) {
    Insert(emu::IcKind::Locked);
    EXPECT_EQ(Button6Click(ctx()), Outcome::Done);
    auto lines = Lower();
    EXPECT_EQ(lines[0], "0000: 01 5A FF FF FF FF FF FF FF FF FF FF FF FF FF FF ");
    EXPECT_EQ(lines[3], "0000: 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 ");
    EXPECT_EQ(lines.back(), "Object Checksum = 0000");

    Insert(emu::IcKind::Blank);
    ClearRecords();
    EXPECT_EQ(Button6Click(ctx()), Outcome::Done);
    lines = Lower();
    EXPECT_EQ(lines[3], "0000: FF FF FF FF FF FF FF FF FF FF FF FF FF FF FF FF ");
    EXPECT_EQ(lines.back(), "Object Checksum = FC00");
}

TEST_F(ReadOtpTest, EmptySocketFaultAndWrongBodyGiveTheirErrorLines) {
    const struct {
        emu::IcKind kind;
        const char* reason;
    } cases[] = {{emu::IcKind::None, "  -----> IC no put on socket or jumper setting error !!!"},
                 {emu::IcKind::Fault, "  -----> IC no put on socket or jumper setting error !!!"},
                 {emu::IcKind::WrongBody, "  -----> IC Body code (Test code) compare error !!!"}};
    for (const auto& c : cases) {
        Insert(c.kind);
        ClearRecords();
        EXPECT_EQ(Button6Click(ctx()), Outcome::Failed);
        EXPECT_EQ(Lower(), (std::vector<std::string>{"  -----> OTP Read Error !!!", c.reason})) << emu::IcKindName(c.kind);
    }
}

TEST_F(ReadOtpTest, AfterAFailedOpenTheReadTakesTheNoReplyPath) {
    emulated.FailOpen("COM1");
    EXPECT_EQ(Button6Click(ctx()), Outcome::Failed);
    EXPECT_EQ(Lower(), (std::vector<std::string>{"  -----> OTP Connect Error !!!", "  -----> Please check RS232 cable !!!"}));
    EXPECT_TRUE(wire.sent.empty());
}
