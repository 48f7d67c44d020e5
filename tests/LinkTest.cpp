#include <gtest/gtest.h>

#include <cerrno>

#include "OperationFixture.h"
#include "config/WriterIni.h"
#include "link/PortLink.h"
#include "link/Transfers.h"
#include "link/WriterCommands.h"

using namespace otp;
using test::WireByte;

namespace {

// A port whose input queue holds what the test puts there.
class QueuePort : public SerialPort {
public:
    QueuePort(std::vector<uint8_t>& queue, std::vector<uint8_t>& written, const std::vector<uint8_t>& everyDrain,
              const size_t& takes)
        : queue_(queue), written_(written), everyDrain_(everyDrain), takes_(takes) {}
    bool WriteByte(uint8_t b) override {
        if (written_.size() >= takes_) return false;
        written_.push_back(b);
        return true;
    }
    bool WaitSent(Pacer&) override { return true; }
    std::vector<uint8_t> TakeArrived() override {
        if (!everyDrain_.empty()) return everyDrain_;
        return std::exchange(queue_, {});
    }
    bool DiscardInput() override { return !std::exchange(queue_, {}).empty(); }

private:
    std::vector<uint8_t>& queue_;
    std::vector<uint8_t>& written_;
    const std::vector<uint8_t>& everyDrain_;
    const size_t& takes_;
};

class QueueOpener : public PortOpener {
public:
    std::vector<uint8_t> queue, written, everyDrain;
    size_t takes = SIZE_MAX;  // bytes the port takes before the line stops
    OpenResult result = OpenResult::Ok;
    OpenFailure failure;  // what a failed open tells
    OpenResult Open(const std::string&, std::unique_ptr<SerialPort>& port) override {
        if (result == OpenResult::Ok) port = std::make_unique<QueuePort>(queue, written, everyDrain, takes);
        return result;
    }
    OpenFailure LastFailure() const override { return failure; }
};

class PortLinkTest : public ::testing::Test {
protected:
    QueueOpener opener;
    VirtualPacer pacer;
    FormModel form;
    std::vector<std::string> trace;
    TracingView view{form, [this](const std::string& l) { trace.push_back(l); }};
    Session session{view, pacer, opener, "."};
    Context& ctx = session.ctx();
    WriterState& s = session.state();
};

}  // namespace

TEST_F(PortLinkTest, DrainTakesWhatWaitsUpTo8192Bytes) {
    OpenPort(ctx);
    DrainReply(ctx);
    EXPECT_EQ(s.ReplyLength, 0);
    EXPECT_EQ(s.ReplyBuffer[0], 0);

    opener.queue.assign(8192, 0x5A);
    DrainReply(ctx);
    EXPECT_EQ(s.ReplyLength, 8192);
    EXPECT_EQ(s.ReplyBuffer[8191], 0x5A);
    EXPECT_EQ(s.ReplyBuffer[8192], 0);

    opener.queue.assign(3, 0x11);
    DrainReply(ctx);
    opener.queue.assign(8193, 0x22);
    DrainReply(ctx);  // a flood is no answer: thrown away, never the previous reply
    EXPECT_EQ(s.ReplyLength, 0);
    EXPECT_EQ(s.ReplyBuffer[0], 0);
    EXPECT_TRUE(opener.queue.empty());
}

TEST_F(PortLinkTest, UnaskedBytesNeverBecomeTheNextAnswer) {
    opener.queue = {0x00};  // left on the line by an earlier run
    OpenPort(ctx);
    EXPECT_TRUE(opener.queue.empty());
    opener.queue = {0x00};  // a late status of the previous command
    SendCommand(ctx, Cmd::Program);
    DrainReply(ctx);
    EXPECT_EQ(s.ReplyLength, 0);
}

TEST_F(PortLinkTest, ALineThatStopsTakingBytesIsGivenUpWithOneLine) {
    opener.takes = 3;
    OpenPort(ctx);
    opener.queue = {0x00};
    const BlockRead read = ReadWriterBlock(ctx, 1, 0x7F90, 16);
    EXPECT_FALSE(read.complete);
    EXPECT_EQ(opener.written.size(), 3u);
    EXPECT_FALSE(ctx.link.PortHandle);  // the rest goes the way of a silent writer
    EXPECT_EQ(std::count(trace.begin(), trace.end(),
                         "AppendLine RichEdit2   -----> The writer or the line stopped taking bytes: check the cable "
                         "and flow control !!!"),
              1);
}

// A pacer whose every sleep wakes up 3 ms late, as on a busy machine.
class LatePacer : public VirtualPacer {
public:
    void Sleep(int ms) override { VirtualPacer::Sleep(ms + 3); }
    void SleepUntil(int64_t deadlineMs) override {
        if (deadlineMs > NowMs()) VirtualPacer::SleepUntil(deadlineMs + 3);
    }
};

TEST(PacedSenderTest, ALateWakeUpIsCaughtUpNotAdded) {
    QueueOpener opener;
    LatePacer pacer;
    FormModel form;
    Session session{form, pacer, opener, "."};
    OpenPort(session.ctx());
    PacedSender out(session.ctx());
    for (int i = 0; i < 100; ++i) out.Send(0x11, 1);
    // 100 pauses of 1 ms: late by one wake-up at most, not by 100 of them.
    EXPECT_LE(pacer.NowMs(), 100 + 3);
    EXPECT_EQ(opener.written.size(), 100u);
}

TEST_F(PortLinkTest, EveryByteValueIsOneByteOnTheLine) {
    OpenPort(ctx);
    for (int b = 0; b < 256; ++b) SendCommandByte(ctx, static_cast<uint8_t>(b), 0);
    ASSERT_EQ(opener.written.size(), 256u);
    EXPECT_EQ(opener.written[0], 0x00);
    EXPECT_EQ(opener.written[255], 0xFF);
}

TEST_F(PortLinkTest, OpenFailuresShowTheirBoxAndLeaveNoPort) {
    opener.result = OpenResult::OpenError;
    OpenPort(ctx);
    EXPECT_TRUE(s.PortFailed);
    EXPECT_EQ(trace.back(), "ShowErrorBox ERROR RS232 open error!!!");
    opener.queue.assign(5, 1);
    s.ReplyLength = 7;
    DrainReply(ctx);  // no port: an empty reply, never stale bytes
    EXPECT_EQ(s.ReplyLength, 0);
    SendCommandByte(ctx, 0x57, 1);
    EXPECT_TRUE(opener.written.empty());

    opener.result = OpenResult::SettingError;
    OpenPort(ctx);
    EXPECT_TRUE(s.PortFailed);
    EXPECT_EQ(trace.back(), "ShowErrorBox ERROR RS232 setting error!!!");

    opener.result = OpenResult::Ok;
    OpenPort(ctx);
    EXPECT_FALSE(s.PortFailed);
    ClosePort(ctx);
    EXPECT_FALSE(ctx.link.PortHandle);
}

// The box says which device would not open and why, and on POSIX systems
// how to mend a permission error (Windows has no such group).
TEST_F(PortLinkTest, OpenErrorBoxesSayTheDeviceTheReasonAndTheFix) {
#ifdef _WIN32
    const std::string fix;
#else
    const std::string fix = "\nLet your user use serial ports: sudo usermod -aG dialout $USER, then log in again.";
#endif
    const struct {
        OpenResult result;
        OpenFailure failure;
        std::string box;
    } cases[] = {
        {OpenResult::OpenError, {}, "RS232 open error!!!"},
        {OpenResult::OpenError, {"/dev/ttyUSB0", ENOENT, ""}, "RS232 open error!!!\n/dev/ttyUSB0: No such file or directory"},
        {OpenResult::OpenError, {"/dev/ttyS1", EACCES, ""}, "RS232 open error!!!\n/dev/ttyS1: Permission denied" + fix},
        {OpenResult::OpenError, {"/dev/ttyS1", EPERM, ""}, "RS232 open error!!!\n/dev/ttyS1: Operation not permitted" + fix},
        {OpenResult::OpenError, {"/dev/ttyS0", EWOULDBLOCK, "in use"}, "RS232 open error!!!\n/dev/ttyS0: in use"},
        {OpenResult::OpenError, {"/dev/ttyS0", 0, ""}, "RS232 open error!!!\n/dev/ttyS0: the reason is not known"},
        {OpenResult::SettingError, {"/dev/null", ENOTTY, ""},
         "RS232 setting error!!!\n/dev/null: Inappropriate ioctl for device"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.box);
        opener.result = c.result;
        opener.failure = c.failure;
        OpenPort(ctx);
        EXPECT_TRUE(s.PortFailed);
        EXPECT_EQ(trace.back(), "ShowErrorBox ERROR " + c.box);
    }
}

TEST_F(PortLinkTest, EchoCheckComparesTheFirstReplyByte) {
    OpenPort(ctx);
    opener.queue = {0x63};
    EXPECT_TRUE(SendCommandByte(ctx, 0x63, 10, true));
    opener.queue = {0x00};
    EXPECT_FALSE(SendCommandByte(ctx, 0x63, 10, true));
    EXPECT_EQ(pacer.NowMs(), 20);
}

TEST_F(PortLinkTest, ReplyOfAnotherLengthEndsTheBlockRead) {
    OpenPort(ctx);
    opener.everyDrain.assign(8192, 0x77);
    const BlockRead read = ReadWriterBlock(ctx, 1, 0, 16384 - 100);
    EXPECT_FALSE(read.complete);
    EXPECT_EQ(read.received, 8192);
    EXPECT_EQ(opener.written.size(), 8u);  // the chunks after it are not asked for
    EXPECT_EQ(s.ReadBackBuffer[8191], 0x77);
}

class TransferTest : public test::OperationTest {
protected:
    void SetUp() override {
        MakeSession();
        ReadWriterIni(state(), view, dir.path());
        OpenPort(ctx());
        ClearRecords();
    }
    void TearDown() override { ClosePort(ctx()); }
};

TEST_F(TransferTest, BlockReadOfSixteenBytesSendsEightBytesThenWaits100ms) {
    ReadWriterBlock(ctx(), 1, 0x7F90, 16);
    const std::vector<WireByte> expected = {{0, 0x57}, {1, 0x01}, {2, 0x90}, {3, 0x7F},
                                            {4, 0x10}, {5, 0x00}, {6, 0x00}, {7, 0x00}};
    EXPECT_EQ(wire.sent, expected);
    // The wait starts when the request has left: 8 bytes take 8.33 ms on the line.
    EXPECT_EQ(wire.drains, std::vector<int64_t>{9 + 100});
    EXPECT_EQ(state().ReplyLength, 16);
    EXPECT_EQ(state().ReadBackBuffer[0], 0xA5);
    EXPECT_EQ(state().ReadBackBuffer[4], 0x80);
    EXPECT_TRUE(trace.empty());  // no progress panel for short reads
}

TEST_F(TransferTest, LongBlockReadsComeInChunksWithTheProgressWait) {
    std::vector<uint8_t> pattern(10000);
    for (size_t i = 0; i < pattern.size(); ++i) pattern[i] = static_cast<uint8_t>(i * 7 + i / 256);
    writer->WriteMemory(0x4000, pattern);
    ReadWriterBlock(ctx(), 1, 0x4000, 10000);
    const std::vector<uint8_t> bytes = SentBytes();
    ASSERT_EQ(bytes.size(), 24u);
    EXPECT_EQ(std::vector<uint8_t>(bytes.begin(), bytes.begin() + 8),
              (std::vector<uint8_t>{0x57, 1, 0x00, 0x40, 0x00, 0x10, 0, 0}));
    EXPECT_EQ(std::vector<uint8_t>(bytes.begin() + 8, bytes.begin() + 16),
              (std::vector<uint8_t>{0x57, 1, 0x00, 0x50, 0x00, 0x10, 0, 0}));
    EXPECT_EQ(std::vector<uint8_t>(bytes.begin() + 16, bytes.end()),
              (std::vector<uint8_t>{0x57, 1, 0x00, 0x60, 0x10, 0x07, 0, 0}));
    // 4096 bytes: 647 ticks; 1808 bytes: 271 + 14 + 1 = 286 ticks.
    EXPECT_EQ(wire.drains, (std::vector<int64_t>{9 + 6470, 2 * 9 + 2 * 6470, 3 * 9 + 2 * 6470 + 2860}));
    EXPECT_EQ(trace, (std::vector<std::string>{"SetProgressMax 647", "ShowProgress on", "ShowProgress off",
                                               "SetProgressMax 647", "ShowProgress on", "ShowProgress off",
                                               "SetProgressMax 286", "ShowProgress on", "ShowProgress off"}));
    for (size_t i = 0; i < pattern.size(); ++i) ASSERT_EQ(state().ReadBackBuffer[i], pattern[i]) << i;
}

TEST_F(TransferTest, ChunkWaitsAtTheProgressThreshold) {
    ReadWriterBlock(ctx(), 1, 0x4000, 66);
    EXPECT_EQ(wire.drains.back(), 9 + 100);
    EXPECT_TRUE(trace.empty());
    ReadWriterBlock(ctx(), 1, 0x4000, 67);
    EXPECT_EQ(wire.drains.back(), 109 + 9 + 110);
    EXPECT_EQ(trace.front(), "SetProgressMax 11");
    ReadWriterBlock(ctx(), 1, 0x4000, 0);
    EXPECT_EQ(wire.sent.size(), 16u);  // a length of 0 sends nothing
}

TEST_F(TransferTest, ShortReplyKeepsOldEntries) {
    state().ReadBackBuffer[20] = 0x1234;
    writer->SetLineTiming(true);
    ReadWriterBlock(ctx(), 1, 0xFFF8, 16);  // the emulator answers the wrapped addresses
    EXPECT_EQ(state().ReplyLength, 16);
    EXPECT_EQ(state().ReadBackBuffer[20], 0x1234);
}

TEST_F(TransferTest, BodyInfoWriteSendsRowZeroAndSetsLayout) {
    state().BodyInfo[0] = {0xA5, 1, 0, 0, 0x00, 0x00, 0x02, 0, 0xD2};
    WriteBodyInfo(ctx());
    std::vector<uint8_t> expected = {0x75};
    expected.insert(expected.end(), state().BodyInfo[0].begin(), state().BodyInfo[0].begin() + 16);
    EXPECT_EQ(SentBytes(), expected);
    EXPECT_EQ(wire.sent[1].ms, 5);
    EXPECT_EQ(wire.sent[16].ms, 20);
    EXPECT_EQ(pacer.NowMs(), 5 + 16 + 100);
    EXPECT_EQ(state().ValueDigits, 4);
    EXPECT_EQ(state().RowWidth, 8);
    EXPECT_EQ(writer->Peek(0x7F90 + 8), 0xD2);
}

TEST_F(TransferTest, BodyInfoReadModes) {
    ReadBodyInfo(ctx(), 0);
    EXPECT_TRUE(trace.empty());
    EXPECT_EQ(state().BodyInfo[0][0], 0xA5);
    ReadBodyInfo(ctx(), 2);
    EXPECT_EQ(trace, (std::vector<std::string>{
                         "AppendLine RichEdit2 0000: A5 00 99 0D 80 00 04 00 80 00 00 00 00 00 00 00 ",
                         "AppendLine RichEdit2 Receiver Data Length = 16 bytes"}));
    ClosePort(ctx());
    state().BodyInfo[0][1] = 9;
    ReadBodyInfo(ctx(), 1);  // no answer: row 0 stays
    EXPECT_EQ(state().BodyInfo[0][1], 9);
    EXPECT_EQ(Pane(Control::RichEdit1).back(), "Receiver Data Length = 0 bytes");
}

TEST_F(TransferTest, OptionBytesWriteThenCompare) {
    for (int i = 0; i < 16; ++i) state().OptionBytes[i] = static_cast<uint8_t>(i);
    WriteOptionBytes(ctx(), 16);
    EXPECT_EQ(SentBytes().size(), 17u);
    EXPECT_EQ(pacer.NowMs(), 1 + 16 + 50);
    form.ClearPane(Control::RichEdit1);
    ReadOptionBytes(ctx(), 1, true);
    EXPECT_EQ(Pane(Control::RichEdit2),
              (std::vector<std::string>{"RichEdit2", "0000: 00 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F ",
                                        "Receiver Data Length = 16 bytes", "Option Checksum =0078"}));

    writer->Poke(0x7F83, 0x5A);
    state().OptionBytes[3] = 0xA5;
    form.ClearPane(Control::RichEdit2);
    ReadOptionBytes(ctx(), 0, true);
    // Differences always go to the lower pane; no dump follows them.
    EXPECT_EQ(Pane(Control::RichEdit2), std::vector<std::string>{"0003--A5 5A"});
    EXPECT_EQ(Pane(Control::RichEdit1), (std::vector<std::string>{"Receiver Data Length = 16 bytes",
                                                                  "Option Checksum =011A"}));
    EXPECT_EQ(state().OptionBytes[3], 0xA5);  // compare does not adopt
}

TEST_F(TransferTest, ImageStreamByteAndWordMode) {
    state().BodyInfo[0][4] = 0x00;  // WordMode
    state().BodyInfo[0][5] = 2;
    state().BodyInfo[0][6] = 0;
    WriteBodyInfo(ctx());
    ClearRecords();
    state().RomImage[0] = 0x1234;
    state().RomImage[1] = 0x0678;
    StreamRomImage(ctx(), 2);
    const int64_t t = wire.sent.at(0).ms;
    EXPECT_EQ(wire.sent, (std::vector<WireByte>{{t, 0x6D}, {t + 1, 0x34}, {t + 2, 0x12}, {t + 2, 0x78}, {t + 3, 0x06}}));
    EXPECT_EQ(trace, (std::vector<std::string>{"SetProgressMax 2", "ShowProgress on"}));
    pacer.Sleep(100);
    EXPECT_EQ(writer->Peek(0x4000), 0x34);
    EXPECT_EQ(writer->Peek(0x4003), 0x06);
}

TEST_F(TransferTest, ObjectReadBackAdoptsInWordModeFoldingPairs) {
    writer->WriteMemory(0x7F90, {0xA5, 1, 0, 0, 0x00, 2, 0, 0, 0xD2, 0, 0, 0, 0, 0, 0, 0});
    writer->WriteMemory(0x4000, {0x34, 0x12, 0x78, 0x06});
    ReadBodyInfo(ctx(), 0);
    SetLayoutFromBodyInfo(state());
    view.SetSelection(Control::ComboBox1, 1);
    ClearRecords();
    ReadObjectBack(ctx(), 0, false);
    EXPECT_EQ(state().RomImage[0], 0x1234);
    EXPECT_EQ(state().RomImage[1], 0x0678);
    EXPECT_EQ(trace, (std::vector<std::string>{"AppendLine RichEdit1 0000: 1234 0678 ",
                                               "AppendLine RichEdit1 Receiver Data Length = 4 bytes",
                                               "AppendLine RichEdit1 Object Checksum =18AC",
                                               "SetFieldText Edit1 18AC"}));
}

TEST_F(TransferTest, ObjectReadBackCompareLinesAndDownloadErrorBox) {
    // ByteMode body with OFFSET 0x800 (RX4935 of the example); a difference at entry 2.
    writer->WriteMemory(0x7F90, {0xA5, 2, 0, 0, 0x80, 4, 0, 0, 0xA8, 0, 0, 0, 0, 0, 0, 0});
    writer->WriteMemory(0x4000, {1, 2, 0xFF, 4});
    ReadBodyInfo(ctx(), 0);
    SetLayoutFromBodyInfo(state());
    view.SetSelection(Control::ComboBox1, 2);
    state().RomImage[0] = 1;
    state().RomImage[1] = 2;
    state().RomImage[2] = 0x5A;
    state().RomImage[3] = 4;
    ClearRecords();
    ReadObjectBack(ctx(), 1, true);
    EXPECT_EQ(trace, (std::vector<std::string>{"AppendLine RichEdit2 0802--5A FF",
                                               "ShowErrorBox Download error Please check download code & read back code",
                                               "AppendLine RichEdit2 Receiver Data Length = 4 bytes",
                                               "AppendLine RichEdit2 Object Checksum =0061",
                                               "SetFieldText Edit1 0061"}));
    // In WordMode the mismatch line names the entry, not the address.
    writer->WriteMemory(0x7F90, {0xA5, 2, 0, 0, 0x00, 4, 0, 0, 0xA8, 0, 0, 0, 0, 0, 0, 0});
    writer->WriteMemory(0x4000, {1, 0, 2, 0, 0xFF, 0, 4, 0});
    ReadBodyInfo(ctx(), 0);
    SetLayoutFromBodyInfo(state());
    ClearRecords();
    ReadObjectBack(ctx(), 1, true);
    EXPECT_EQ(trace.front(), "AppendLine RichEdit2 0002--005A 00FF");
}

TEST_F(TransferTest, ObjectReadBackNeverRunsPastTheImage) {
    // A body description claiming 65535 values reads and keeps at most 8192.
    writer->WriteMemory(0x7F90, {0xA5, 0, 0, 0, 0x00, 0xFF, 0xFF, 0, 0, 0, 0, 0, 0, 0, 0, 0});
    ReadBodyInfo(ctx(), 0);
    SetLayoutFromBodyInfo(state());
    view.SetSelection(Control::ComboBox1, -1);
    ClearRecords();
    ReadObjectBack(ctx(), 0, false);
    EXPECT_EQ(Pane(Control::RichEdit1)[Pane(Control::RichEdit1).size() - 2 - 1].substr(0, 6), "1FF8: ");
    EXPECT_EQ(Pane(Control::RichEdit1)[Pane(Control::RichEdit1).size() - 2], "Receiver Data Length = 16384 bytes");
}
