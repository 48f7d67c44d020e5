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

namespace {

// A command of the emulated writer that answers in parts, each `delayUs`
// after its command byte arrived.
struct AnswerPart {
    int64_t delayUs;
    std::vector<uint8_t> bytes;
};

class PartsAnswer : public emu::WriterCommand {
public:
    PartsAnswer(std::vector<AnswerPart> parts, int64_t& startUs) : parts_(std::move(parts)), startUs_(startUs) {}
    bool Start(emu::WriterEmulator& w) override {
        startUs_ = w.NowUs();
        for (const AnswerPart& part : parts_) w.Reply(part.bytes, part.delayUs);
        return true;
    }
    bool Take(uint8_t, emu::WriterEmulator&) override { return true; }

private:
    std::vector<AnswerPart> parts_;
    int64_t& startUs_;
};

constexpr uint8_t kPartsCommand = 0xEE;

}  // namespace

class FastWaitTest : public TransferTest {
protected:
    void SetUp() override {
        TransferTest::SetUp();
        ctx().link.fastWaits = true;
    }
    // Sends the command that answers `parts` and waits for them.
    void AskAndWait(const std::vector<AnswerPart>& parts, int ticks, const std::vector<int>& whole) {
        writer->SetCommand(kPartsCommand, [parts, this] { return std::make_unique<PartsAnswer>(parts, commandUs); });
        WritePending(ctx(), kPartsCommand);
        waitStartMs = (ctx().link.line.FreeUs() + 999) / 1000;
        ClearRecords();
        if (whole.size() == 1) ProgressWait(ctx(), ticks, {whole[0]});
        if (whole.size() == 2) ProgressWait(ctx(), ticks, {whole[0], whole[1]});
    }
    // When the last byte of part `k` has reached the host, in whole ms.
    int64_t PartEndMs(const std::vector<AnswerPart>& parts, size_t k) const {
        const int64_t us = commandUs + parts[k].delayUs + emu::WriterEmulator::LineTimeUs(parts[k].bytes.size());
        return (us + 999) / 1000;
    }
    int64_t commandUs = 0;
    int64_t waitStartMs = 0;
};

// A fast wait ends 20 ms after the byte that made its answer whole, to the
// millisecond; an answer that is not whole, or whose settle would run past
// the wait, takes the full time. The progress bar shows as a fixed wait's.
TEST_F(FastWaitTest, EndsTwentyMsAfterTheLastByteOfAWholeAnswer) {
    const std::vector<uint8_t> sixteen(16, 0x5A), four096(4096, 0x11), fifteen(15, 0x22);
    constexpr int kFull = -1;
    const struct {
        const char* name;
        std::vector<AnswerPart> parts;
        std::vector<int> whole;
        int ticks;
        int endsWithPart;  // the part whose last byte made the answer whole, or kFull
    } rows[] = {
        {"a status byte", {{123400, {0x00}}}, {1}, 50, 0},
        {"the status and the rolling code in one", {{50000, std::vector<uint8_t>(17, 0x33)}}, {1, 17}, 50, 0},
        {"the rolling code 15 ms behind the status", {{50000, {0x00}}, {66000, sixteen}}, {1, 17}, 50, 1},
        {"a second part after the settle", {{50000, {0x00}}, {95000, sixteen}}, {1, 17}, 50, 0},
        {"a long answer", {{2000, four096}}, {4096}, 647, 0},
        {"longer than whole", {{50000, {0x00, 0x00}}}, {1}, 50, kFull},
        {"a byte short", {{50000, fifteen}}, {16}, 50, kFull},
        {"no answer", {}, {1}, 50, kFull},
        {"whole too near the end to settle", {{88000, {0x00}}}, {1}, 10, kFull},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        AskAndWait(row.parts, row.ticks, row.whole);
        const int64_t end = row.endsWithPart == kFull
                                ? waitStartMs + row.ticks * 10
                                : PartEndMs(row.parts, static_cast<size_t>(row.endsWithPart)) + kSettleAfterWholeMs;
        EXPECT_EQ(pacer.NowMs(), end);
        EXPECT_EQ(trace, (std::vector<std::string>{"SetProgressMax " + std::to_string(row.ticks), "ShowProgress on",
                                                   "ShowProgress off"}));
        EXPECT_EQ(form.ProgressPosition(), std::min<int64_t>(row.ticks - 1, (end - waitStartMs) / 10));
        DrainReply(ctx());
        pacer.Sleep(200);  // the second part of an early end, out of the way
        DiscardArrived(ctx());
    }
}

// A fast wait sleeps on the port: a silent line is not looked at during the
// wait, and an answer is taken a few times, not once a tick or a byte. With
// the progress bar the port is asked again every 50 ms, to step it.
TEST_F(FastWaitTest, LooksAtTheLineAFewTimesAnAnswer) {
    const struct {
        const char* name;
        int length;         // of the block read
        const char* fault;  // of the writer, or ""
        int takes;          // at most, the drain's own included
        int portWaits;      // at most
    } rows[] = {
        {"16 bytes", 16, "", 5, 5},
        {"a silent writer", 16, "W:silent", 1, 2},
        {"4096 bytes", 4096, "", 5, 6470 / 50 + 5},
        {"a silent writer, 4096 asked", 4096, "W:silent", 1, 6470 / 50 + 2},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        writer->ClearFaults();
        std::string error;
        if (*row.fault) {
            ASSERT_TRUE(writer->AddFault(row.fault, error)) << error;
        }
        DiscardArrived(ctx());
        ClearRecords();
        const BlockRead read = ReadWriterBlock(ctx(), 1, 0x4000, row.length);
        EXPECT_EQ(read.complete, !*row.fault);
        EXPECT_LE(static_cast<int>(wire.drains.size()), row.takes);
        EXPECT_LE(wire.portWaits, row.portWaits);
        EXPECT_GE(wire.portWaits, 1);
    }
}

// The emulated port tells when the writer's next byte is due: the test
// clock jumps to it, the real one sleeps until it; either stops at the
// deadline when that comes first or nothing is on its way.
TEST(EmulatedPortWake, PacersSleepUntilTheWritersNextByte) {
    const struct {
        const char* name;
        bool ask;    // the version bytes are asked for
        int afterMs;  // the deadline, after the answer's first byte is due (asked) or after now
        bool woke;
    } rows[] = {
        {"an answer due before the deadline", true, 1000, true},
        {"the deadline before the answer", true, -2, false},
        {"nothing asked", false, 100, false},
    };
    for (const bool real : {false, true})
    for (const auto& row : rows) {
        SCOPED_TRACE(std::string(row.name) + (real ? " (real time)" : " (test time)"));
        VirtualPacer testClock;
        RealPacer realClock;
        Pacer& pacer = real ? static_cast<Pacer&>(realClock) : testClock;
        emu::EmulatedPortOpener opener(emu::MakeDemoWriter(), pacer);
        std::unique_ptr<SerialPort> port;
        ASSERT_EQ(opener.Open("COM1", port), OpenResult::Ok);
        if (row.ask) {
            port->WriteByte(static_cast<uint8_t>(Cmd::BlockRead));
            for (const uint8_t b : BlockReadRequest(kArea, kAddrVersion, kVersionBytes)) port->WriteByte(b);
        }
        const std::optional<int64_t> dueUs = opener.Writer().NextReplyUs();
        ASSERT_EQ(dueUs.has_value(), row.ask);
        const int64_t deadline = (row.ask ? (*dueUs + 999) / 1000 : pacer.NowMs()) + row.afterMs;
        const bool woke = pacer.SleepUntilArrival(deadline, port->Wake());
        EXPECT_EQ(woke, row.woke);
        const int64_t expected = woke ? (*dueUs + 999) / 1000 : deadline;
        EXPECT_GE(pacer.NowMs(), expected);
        // A loaded machine wakes late, never early.
        EXPECT_LE(pacer.NowMs(), expected + (real ? 2000 : 0));
        // In real time the answer may have come by now even when the wait ended first.
        if (woke || !real) {
            EXPECT_EQ(port->TakeArrived().empty(), !woke);
        }
    }
}
