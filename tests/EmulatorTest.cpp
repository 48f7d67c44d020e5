// The emulated writer box: its memory, its commands and the timing of its
// line, driven the way the host drives it (one byte, then a pause) in
// virtual time.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "emulatedport/EmulatedPort.h"
#include "emulator/WriterEmulator.h"
#include "link/Pacer.h"
#include "WireRequests.h"

using otp::test::BlockReadRequest;

namespace {

using otp::OpenResult;
using otp::SerialPort;
using otp::VirtualPacer;
using otp::emu::EmulatedPort;
using otp::emu::EmulatedPortOpener;
using otp::emu::WriterCommand;
using otp::emu::WriterEmulator;
using Bytes = std::vector<uint8_t>;

const Bytes kFactoryVersion = {0x01, 0x02, 0x00, 0x07, 0x01, 0x00, 0x00, 0x00};
const Bytes kFactoryBodyInfo = {0xA5, 0x00, 0x00, 0x00, 0x80, 0x00, 0x04, 0x00,
                                0x80, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00};

// A body description without the writer's own checksum (bytes 2-3).
Bytes WithoutChecksum(Bytes body) {
    body[2] = body[3] = 0;
    return body;
}


// A host on a port: every byte is written, then the host pauses.
struct Host {
    Host() : writer(std::make_shared<WriterEmulator>()), opener(writer, pacer) {
        EXPECT_EQ(opener.Open("COM1", port), OpenResult::Ok);
    }
    void Send(const Bytes& bytes, int pauseMs = 1) {
        for (uint8_t b : bytes) {
            port->WriteByte(b);
            pacer.Sleep(pauseMs);
        }
    }
    Bytes Drain() { return port->TakeArrived(); }
    // A block read as the host makes it for a short block: 1 ms after each
    // byte, then 100 ms, then one drain.
    Bytes Read(uint16_t addr, uint16_t length) {
        Send(BlockReadRequest(addr, length));
        pacer.Sleep(100);
        return Drain();
    }

    VirtualPacer pacer;
    std::shared_ptr<WriterEmulator> writer;
    EmulatedPortOpener opener;
    std::unique_ptr<SerialPort> port;
};

// A command that needs `count` bytes and notes when each one arrived.
struct Recorder : WriterCommand {
    Recorder(std::vector<int64_t>& at, int count, std::vector<int64_t>* idleAt = nullptr)
        : at_(at), count_(count), idleAt_(idleAt) {}
    bool Start(WriterEmulator& w) override {
        at_.push_back(w.NowUs());
        return count_ == 0;
    }
    bool Take(uint8_t, WriterEmulator& w) override {
        at_.push_back(w.NowUs());
        return static_cast<int>(at_.size()) > count_;
    }
    void Idle(WriterEmulator& w) override {
        if (idleAt_) idleAt_->push_back(w.NowUs());
    }
    std::vector<int64_t>& at_;
    int count_;
    std::vector<int64_t>* idleAt_;
};

// ---------------------------------------------------------------- memory

TEST(EmulatorMemory, FactoryContentsAreVersionBodyInfoAndFF) {
    WriterEmulator w;
    EXPECT_EQ(w.ReadMemory(0x0400, 8), kFactoryVersion);
    EXPECT_EQ(WithoutChecksum(w.ReadMemory(0x7F90, 16)), kFactoryBodyInfo);
    EXPECT_EQ(w.ReadMemory(0x7F80, 16), Bytes(16, 0xFF));
    size_t notFF = 0;
    for (size_t a = 0; a < WriterEmulator::kMemorySize; ++a)
        if (w.Memory()[a] != 0xFF) ++notFF;
    // No version or BodyInfo byte is 0xFF: 8 + 16 bytes differ.
    EXPECT_EQ(notFF, 24u);
    EXPECT_TRUE(w.ByteMode());
    EXPECT_EQ(w.ValueCount(), 1024);
    EXPECT_EQ(w.BytesPerValue(), 1);
}

TEST(EmulatorMemory, AccessWrapsAt64KiBAndLoadReplacesTheStart) {
    WriterEmulator w;
    w.WriteMemory(0xFFFE, {0x11, 0x22, 0x33});
    EXPECT_EQ(w.Peek(0xFFFF), 0x22);
    EXPECT_EQ(w.Peek(0x0000), 0x33);
    EXPECT_EQ(w.ReadMemory(0xFFFF, 2), (Bytes{0x22, 0x33}));

    EXPECT_TRUE(w.LoadMemory({0xAA, 0xBB}));
    EXPECT_EQ(w.Peek(0), 0xAA);
    EXPECT_EQ(w.Peek(1), 0xBB);
    EXPECT_EQ(w.Peek(2), 0xFF);
    EXPECT_EQ(w.ReadMemory(0x0400, 8), kFactoryVersion);

    EXPECT_FALSE(w.LoadMemory(Bytes(0x10001, 0x00)));
    EXPECT_EQ(w.Peek(0), 0xAA);
    EXPECT_TRUE(w.LoadMemory(Bytes(0x10000, 0x5A)));
    EXPECT_EQ(w.Peek(0xFFFF), 0x5A);

    w.ResetToFactory();
    EXPECT_EQ(w.Peek(0), 0xFF);
    EXPECT_EQ(WithoutChecksum(w.ReadMemory(0x7F90, 16)), kFactoryBodyInfo);
}

// ---------------------------------------------------------------- line timing

TEST(EmulatorLine, ByteTimesAreTenBitsAt9600RoundedUp) {
    EXPECT_EQ(WriterEmulator::LineTimeUs(0), 0);
    EXPECT_EQ(WriterEmulator::LineTimeUs(1), 1042);
    EXPECT_EQ(WriterEmulator::LineTimeUs(2), 2084);
    EXPECT_EQ(WriterEmulator::LineTimeUs(3), 3125);
    EXPECT_EQ(WriterEmulator::LineTimeUs(16), 16667);
    EXPECT_EQ(WriterEmulator::LineTimeUs(960), 1000000);
    EXPECT_EQ(WriterEmulator::LineTimeUs(4096), 4266667);
}

TEST(EmulatorLine, HostBytesArriveOneByteTimeLaterQueuedBehindTheWire) {
    WriterEmulator w;
    std::vector<int64_t> at;
    w.SetCommand(0x01, [&] { return std::make_unique<Recorder>(at, 4); });
    w.Receive(0x01, 0);      // line free: carried by 1042
    w.Receive(0xAA, 1000);   // still behind the first: 2 byte times from 0
    w.Receive(0xAA, 1001);   // 3 byte times from 0
    w.Receive(0xAA, 10000);  // line free again: a new run
    w.Receive(0xAA, 10500);  // behind it
    EXPECT_EQ(at, (std::vector<int64_t>{1042, 2084, 3125, 11042, 12084}));
    EXPECT_FALSE(w.CommandWaiting());
}

TEST(EmulatorLine, AnswerBytesFollowCompletionAndDelayAtLineSpeed) {
    WriterEmulator w;
    struct Answer : WriterCommand {
        bool Start(WriterEmulator& w) override {
            w.Reply({0x10, 0x20, 0x30}, 500);
            return true;
        }
        bool Take(uint8_t, WriterEmulator&) override { return true; }
    };
    w.SetCommand(0x01, [] { return std::make_unique<Answer>(); });
    w.Receive(0x01, 0);  // complete at 1042, ready at 1542
    EXPECT_EQ(w.NextReplyUs(), 2584);
    EXPECT_TRUE(w.TakeReplies(2583).empty());
    EXPECT_EQ(w.TakeReplies(2584), (Bytes{0x10}));
    EXPECT_TRUE(w.TakeReplies(3625).empty());
    EXPECT_EQ(w.TakeReplies(3626), (Bytes{0x20}));
    EXPECT_EQ(w.TakeReplies(4667), (Bytes{0x30}));
    EXPECT_FALSE(w.NextReplyUs().has_value());

    // A second answer ready while the first is still on the wire queues
    // behind it.
    w.Receive(0x01, 10000);  // complete 11042, ready 11542: line free
    w.Receive(0x01, 11000);  // complete 12084, ready 12584: line busy to 14667
    EXPECT_EQ(w.PendingReplyCount(), 6u);
    EXPECT_EQ(w.TakeReplies(11542 + WriterEmulator::LineTimeUs(6) - 1).size(), 5u);
    EXPECT_EQ(w.TakeReplies(11542 + WriterEmulator::LineTimeUs(6)), (Bytes{0x30}));
}

TEST(EmulatorLine, WithoutLineTimingAnswersAreThereAtOnce) {
    WriterEmulator w;
    w.SetLineTiming(false);
    for (uint8_t b : BlockReadRequest(0x0400, 8)) w.Receive(b, 5000);
    EXPECT_EQ(w.NextReplyUs(), 5000);
    EXPECT_EQ(w.TakeReplies(5000), kFactoryVersion);
}

TEST(EmulatorLine, AClockGoingBackDoesNotReorderTheLine) {
    WriterEmulator w;
    std::vector<int64_t> at;
    w.SetCommand(0x01, [&] { return std::make_unique<Recorder>(at, 1); });
    w.Receive(0x01, 100000);
    w.Receive(0xAA, 0);  // taken as sent at 100000, behind the first byte
    EXPECT_EQ(at, (std::vector<int64_t>{101042, 102084}));
}

// ---------------------------------------------------------------- idle line

TEST(EmulatorIdle, AWaitingCommandIsDroppedAfter50msOfSilence) {
    WriterEmulator w;
    std::vector<int64_t> at, idleAt;
    w.SetCommand(0x01, [&] { return std::make_unique<Recorder>(at, 3, &idleAt); });
    w.Receive(0x01, 0);                   // arrives 1042
    w.Receive(0xAA, 49999);               // arrives 51041: 49999 us of silence, kept
    w.Receive(0xAA, 51041 + 50000 - 1042);  // arrives exactly 50000 us later: dropped first
    EXPECT_EQ(at, (std::vector<int64_t>{1042, 51041}));
    EXPECT_EQ(idleAt, (std::vector<int64_t>{101041}));
    // The byte that came after the silence was taken as a command byte: 0xAA
    // has no handler, so nothing waits now.
    EXPECT_FALSE(w.CommandWaiting());
}

TEST(EmulatorIdle, AdvancingTimeDropsTheWaitingCommand) {
    WriterEmulator w;
    std::vector<int64_t> at, idleAt;
    w.SetCommand(0x01, [&] { return std::make_unique<Recorder>(at, 3, &idleAt); });
    w.Receive(0x01, 0);
    EXPECT_TRUE(w.CommandWaiting());
    EXPECT_EQ(w.NextEventUs(), 51042);
    w.AdvanceTo(51041);
    EXPECT_TRUE(w.CommandWaiting());
    w.AdvanceTo(51042);
    EXPECT_FALSE(w.CommandWaiting());
    EXPECT_EQ(idleAt, (std::vector<int64_t>{51042}));
    EXPECT_FALSE(w.NextEventUs().has_value());
}

TEST(EmulatorIdle, AnAbandonedBlockReadLeavesTheNextOneIntact) {
    Host h;
    h.Send({0x57, 0x01, 0x00, 0x04});
    h.pacer.Sleep(60);
    EXPECT_EQ(h.Read(0x0400, 8), kFactoryVersion);
    EXPECT_TRUE(h.Drain().empty());
}

TEST(EmulatorIdle, UnknownCommandBytesAreIgnored) {
    Host h;
    h.Send({0x00, 0xFF, 0x78, 0x41, 0x0D});
    EXPECT_EQ(h.Read(0x0400, 8), kFactoryVersion);
    h.pacer.Sleep(500);
    EXPECT_TRUE(h.Drain().empty());
}

// A host that keeps the writer's pace never meets these; when one does, the
// writer says so.
TEST(EmulatorLineReports, AnIdleDropAndTheFirstByteLostWhileBusyAreTold) {
    WriterEmulator w;
    std::vector<std::string> told;
    w.SetLineReporter([&](const std::string& line) { told.push_back(line); });
    // A block read cut off after its area and address: 60 ms of silence.
    for (uint8_t b : {0x57, 0x01, 0x00, 0x04}) w.Receive(b, 0);
    w.AdvanceTo(WriterEmulator::LineTimeUs(4) + 60000);
    // A firmware update of two bytes keeps the writer busy storing them for
    // 2.4 ms; the two bytes sent at once behind it are lost, one is told.
    for (uint8_t b : {0x6F, 0x02, 0x00, 0x01, 0x02, 0x57, 0x57}) w.Receive(b, 100000);
    EXPECT_EQ(told, (std::vector<std::string>{"command 'W' (0x57) dropped after 4 bytes: no byte for 60.0 ms",
                                              "byte 0x57 lost: the writer is busy for 1.4 ms more"}));
    EXPECT_FALSE(w.CommandWaiting());
}

// ---------------------------------------------------------------- block read

TEST(EmulatorBlockRead, BodyInfoArrivesByteByByteAtLineSpeed) {
    Host h;
    h.Send(BlockReadRequest(0x7F90, 16));  // bytes written at 0..7 ms
    // The request is on the wire back-to-back and complete at 8334 us;
    // answer byte k is there at 8334 + (k + 1) byte times.
    std::vector<size_t> counts;
    Bytes got;
    for (int ms = 8; ms <= 30; ++ms) {
        ASSERT_EQ(h.pacer.NowMs(), ms);
        const Bytes now = h.Drain();
        got.insert(got.end(), now.begin(), now.end());
        counts.push_back(got.size());
        h.pacer.Sleep(1);
    }
    //                                  8  9 10 11 12 13 14 15 16 17 18 19  20  21  22  23  24  25  26 ...
    const std::vector<size_t> expected = {0, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 15, 16,
                                          16, 16, 16, 16};
    EXPECT_EQ(counts, expected);
    EXPECT_EQ(WithoutChecksum(got), kFactoryBodyInfo);
}

TEST(EmulatorBlockRead, TheHostsDrainAfter100msHoldsTheWholeAnswer) {
    Host h;
    EXPECT_EQ(WithoutChecksum(h.Read(0x7F90, 16)), kFactoryBodyInfo);
    EXPECT_EQ(h.Read(0x0400, 8), kFactoryVersion);
}

TEST(EmulatorBlockRead, FourKiBChunkTakesItsLineTime) {
    Host h;
    h.writer->WriteMemory(0x4000, Bytes(4096, 0x3C));
    h.Send(BlockReadRequest(0x4000, 4096));
    // Complete at 8334 us; byte 4094 is there at 4273959 us, the last one
    // 4266667 us after completion, at 4275001 us.
    h.pacer.Sleep(4275 - 8);
    EXPECT_EQ(h.Drain().size(), 4095u);
    h.pacer.Sleep(1);
    EXPECT_EQ(h.Drain(), Bytes(1, 0x3C));
}

TEST(EmulatorBlockRead, WrapsAt64KiB) {
    Host h;
    h.writer->WriteMemory(0xFFFE, {0x01, 0x02, 0x03, 0x04});
    EXPECT_EQ(h.Read(0xFFFE, 4), (Bytes{0x01, 0x02, 0x03, 0x04}));
}

TEST(EmulatorBlockRead, OtherAreasAndEmptyReadsGetNoAnswer) {
    Host h;
    h.Send(BlockReadRequest(0x0400, 8, 0));
    h.Send(BlockReadRequest(0x0400, 8, 2));
    h.Send(BlockReadRequest(0x0400, 0));
    h.pacer.Sleep(200);
    EXPECT_TRUE(h.Drain().empty());
    // Each of them was a complete command: the next read is answered.
    EXPECT_EQ(h.Read(0x0400, 8), kFactoryVersion);
}

TEST(EmulatorBlockRead, TheTwoTrailingBytesAreNotLookedAt) {
    Host h;
    h.Send({0x57, 0x01, 0x00, 0x04, 0x08, 0x00, 0x57, 0x57});
    h.pacer.Sleep(100);
    EXPECT_EQ(h.Drain(), kFactoryVersion);
}

// ---------------------------------------------------------------- stored blocks

TEST(EmulatorStore, BodyInfoWriteStoresSixteenBytesWithoutAnswer) {
    Host h;
    const Bytes body = {0xA5, 0x03, 0x00, 0x00, 0x00, 0x00, 0x02, 0x00,
                        0x00, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77};
    h.Send({0x75}, 5);
    h.Send(body);
    h.pacer.Sleep(100);
    EXPECT_TRUE(h.Drain().empty());
    EXPECT_EQ(WithoutChecksum(h.writer->ReadMemory(0x7F90, 16)), body);
    EXPECT_EQ(h.writer->ReadMemory(0x7F80, 16), Bytes(16, 0xFF));
    EXPECT_EQ(h.writer->Peek(0x7FA0), 0xFF);
    EXPECT_FALSE(h.writer->ByteMode());
    EXPECT_EQ(h.writer->ValueCount(), 0x200);
    EXPECT_EQ(WithoutChecksum(h.Read(0x7F90, 16)), body);
}

TEST(EmulatorStore, OptionWriteStoresSixteenBytesWithoutAnswer) {
    Host h;
    Bytes options;
    for (int i = 0; i < 16; ++i) options.push_back(static_cast<uint8_t>(0x30 + i));
    h.Send({0x77});
    h.Send(options);
    h.pacer.Sleep(50);
    EXPECT_TRUE(h.Drain().empty());
    EXPECT_EQ(h.writer->ReadMemory(0x7F80, 16), options);
    EXPECT_EQ(WithoutChecksum(h.writer->ReadMemory(0x7F90, 16)), kFactoryBodyInfo);
    EXPECT_EQ(h.writer->Peek(0x7F7F), 0xFF);
    EXPECT_EQ(h.Read(0x7F80, 16), options);
}

// Bytes 2-3 of the BodyInfo are the writer's: the 16-bit sum of the image
// its BodyInfo describes, the option bytes and the other BodyInfo bytes,
// whatever the host sent there.
TEST(EmulatorStore, TheWriterKeepsItsChecksumInBodyInfoBytesTwoAndThree) {
    const struct {
        const char* name;
        Bytes command;
        int checksum;
    } rows[] = {
        {"factory", {}, (1024 * 0xFF + 16 * 0xFF + 0xA5 + 0x80 + 0x04 + 0x80) & 0xFFFF},
        // a WordMode body of 0x200 words: 0x400 image bytes; the 12 34 sent are replaced
        {"after a body write", {0x75, 0xA5, 0x03, 0x12, 0x34, 0x00, 0x00, 0x02, 0x00, 0x00, 0x11, 0x22, 0x33, 0x44,
                                0x55, 0x66, 0x77},
         (0x400 * 0xFF + 16 * 0xFF + 0xA5 + 0x03 + 0x02 + 0x11 + 0x22 + 0x33 + 0x44 + 0x55 + 0x66 + 0x77) & 0xFFFF},
        {"after an option write", {0x77, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16},
         (1024 * 0xFF + 136 + 0xA5 + 0x80 + 0x04 + 0x80) & 0xFFFF},
        // the first image value goes from FF to 00
        {"after an image stream", [] {
             Bytes m = {0x6D};
             m.push_back(0x00);
             for (int i = 1; i < 1024; ++i) m.push_back(0xFF);
             return m;
         }(), (1023 * 0xFF + 16 * 0xFF + 0xA5 + 0x80 + 0x04 + 0x80) & 0xFFFF},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        Host h;
        h.Send(row.command);
        h.pacer.Sleep(100);
        const Bytes held = h.Read(0x7F90, 16);
        ASSERT_EQ(held.size(), 16u);
        EXPECT_EQ(held[2] | (held[3] << 8), row.checksum);
    }
}

TEST(EmulatorStore, TheSeventeenthByteIsACommandAgain) {
    Host h;
    h.Send({0x77});
    h.Send(Bytes(16, 0x00));
    EXPECT_EQ(h.Read(0x0400, 8), kFactoryVersion);
}

// ---------------------------------------------------------------- image stream

Bytes BodyInfoFor(bool byteMode, uint16_t count) {
    Bytes b = kFactoryBodyInfo;
    b[4] = byteMode ? 0x80 : 0x00;
    b[5] = static_cast<uint8_t>(count & 0xFF);
    b[6] = static_cast<uint8_t>(count >> 8);
    return b;
}

TEST(EmulatorImageStream, ByteModeStoresOneBytePerValue) {
    Host h;
    h.Send({0x75}, 5);
    h.Send(BodyInfoFor(true, 4));
    h.pacer.Sleep(100);
    h.Send({0x6D});
    h.Send({0x11, 0x22, 0x33, 0x44});
    // The very next byte starts a command: the stream took exactly 4 bytes.
    EXPECT_EQ(h.Read(0x4000, 6), (Bytes{0x11, 0x22, 0x33, 0x44, 0xFF, 0xFF}));
    EXPECT_EQ(h.writer->ReadMemory(0x4000, 6), (Bytes{0x11, 0x22, 0x33, 0x44, 0xFF, 0xFF}));
}

TEST(EmulatorImageStream, WordModeStoresTwoBytesPerValueLowFirst) {
    Host h;
    h.Send({0x75}, 5);
    h.Send(BodyInfoFor(false, 3));
    h.pacer.Sleep(100);
    h.Send({0x6D});
    for (uint16_t v : {0x1234, 0x0678, 0xABCD}) {
        h.Send({static_cast<uint8_t>(v & 0xFF)}, 1);
        h.Send({static_cast<uint8_t>(v >> 8)}, 0);
    }
    EXPECT_EQ(h.Read(0x4000, 8), (Bytes{0x34, 0x12, 0x78, 0x06, 0xCD, 0xAB, 0xFF, 0xFF}));
}

TEST(EmulatorImageStream, WordModeBytesQueueOnTheLineAndTheReadFollows) {
    // Two bytes per millisecond is more than the line carries: the read-back
    // request waits on the wire behind the image and is still answered.
    Host h;
    h.Send({0x75}, 5);
    h.Send(BodyInfoFor(false, 1024));
    h.pacer.Sleep(100);
    Bytes image;
    for (int i = 0; i < 2048; ++i) image.push_back(static_cast<uint8_t>(i * 7));
    h.Send({0x6D});
    for (int i = 0; i < 1024; ++i) {
        h.Send({image[2 * i]}, 1);
        h.Send({image[2 * i + 1]}, 0);
    }
    h.pacer.Sleep(1024 / 4);
    EXPECT_EQ(h.writer->ReadMemory(0x4000, 2048), image);
    h.Send(BlockReadRequest(0x4000, 2048));
    h.pacer.Sleep(3240);
    EXPECT_EQ(h.Drain(), image);
}

TEST(EmulatorImageStream, AStreamThatStopsEarlyEndsWhenTheLineIdles) {
    Host h;  // factory BodyInfo: ByteMode, 1024 values
    h.Send({0x6D});
    h.Send({0x01, 0x02, 0x03});
    h.pacer.Sleep(60);
    EXPECT_EQ(h.Read(0x4000, 4), (Bytes{0x01, 0x02, 0x03, 0xFF}));
    // The read request was not taken as image values.
    EXPECT_EQ(h.writer->ReadMemory(0x4003, 8), Bytes(8, 0xFF));
}

TEST(EmulatorImageStream, APauseShorterThanTheIdleTimeContinuesTheStream) {
    Host h;
    h.Send({0x6D});
    h.Send({0x01, 0x02});
    h.pacer.Sleep(45);
    h.Send(BlockReadRequest(0x0400, 8));
    h.pacer.Sleep(100);
    EXPECT_TRUE(h.Drain().empty());
    EXPECT_EQ(h.writer->ReadMemory(0x4000, 10), (Bytes{0x01, 0x02, 0x57, 0x01, 0x00, 0x04, 0x08, 0x00, 0x00, 0x00}));
}

TEST(EmulatorImageStream, TheLayoutIsTheBodyInfoHeldWhenTheStreamBegins) {
    WriterEmulator w;
    w.WriteMemory(0x7F90, BodyInfoFor(true, 2));
    int64_t t = 0;
    auto send = [&](uint8_t b) { w.Receive(b, t += 2000); };
    send(0x6D);
    send(0xA1);
    w.WriteMemory(0x7F90, BodyInfoFor(false, 100));  // changed mid-stream
    send(0xA2);
    EXPECT_FALSE(w.CommandWaiting());
    EXPECT_EQ(w.ReadMemory(0x4000, 3), (Bytes{0xA1, 0xA2, 0xFF}));
}

TEST(EmulatorImageStream, ACountOfZeroTakesNoBytes) {
    Host h;
    h.writer->WriteMemory(0x7F90, BodyInfoFor(true, 0));
    h.Send({0x6D});
    EXPECT_EQ(h.Read(0x0400, 8), kFactoryVersion);
    EXPECT_EQ(h.writer->Peek(0x4000), 0xFF);
}

// ---------------------------------------------------------------- ports

TEST(EmulatorPort, MemoryPersistsAcrossOpens) {
    VirtualPacer pacer;
    EmulatedPortOpener opener(std::make_shared<WriterEmulator>(), pacer);
    {
        std::unique_ptr<SerialPort> port;
        ASSERT_EQ(opener.Open("COM1", port), OpenResult::Ok);
        ASSERT_TRUE(port);
        port->WriteByte(0x77);
        pacer.Sleep(1);
        for (int i = 0; i < 16; ++i) {
            port->WriteByte(static_cast<uint8_t>(0xC0 + i));
            pacer.Sleep(1);
        }
    }
    pacer.Sleep(500);
    std::unique_ptr<SerialPort> port;
    ASSERT_EQ(opener.Open("COM2", port), OpenResult::Ok);
    for (uint8_t b : BlockReadRequest(0x7F80, 16)) {
        port->WriteByte(b);
        pacer.Sleep(1);
    }
    pacer.Sleep(100);
    Bytes expected;
    for (int i = 0; i < 16; ++i) expected.push_back(static_cast<uint8_t>(0xC0 + i));
    EXPECT_EQ(port->TakeArrived(), expected);
    EXPECT_EQ(opener.OpenCount(), 2);
    EXPECT_EQ(opener.Writer().ReadMemory(0x7F80, 16), expected);
}

TEST(EmulatorPort, ANameToldToFailGivesItsResultAndNoPort) {
    VirtualPacer pacer;
    EmulatedPortOpener opener(std::make_shared<WriterEmulator>(), pacer);
    opener.FailOpen("COM3");
    opener.FailOpen("COM4", OpenResult::SettingError);
    std::unique_ptr<SerialPort> port;
    EXPECT_EQ(opener.Open("COM3", port), OpenResult::OpenError);
    EXPECT_FALSE(port);
    EXPECT_EQ(opener.Open("COM4", port), OpenResult::SettingError);
    EXPECT_FALSE(port);
    EXPECT_EQ(opener.Open("COM1", port), OpenResult::Ok);
    EXPECT_TRUE(port);
    EXPECT_EQ(opener.Open("", port), OpenResult::Ok);
    opener.FailOpen("COM3", OpenResult::Ok);
    EXPECT_EQ(opener.Open("COM3", port), OpenResult::Ok);
    EXPECT_TRUE(port);
    EXPECT_EQ(opener.OpenCount(), 5);
}

TEST(EmulatorPort, TwoPortsOpenAtOnceShareTheWriter) {
    VirtualPacer pacer;
    EmulatedPortOpener opener(std::make_shared<WriterEmulator>(), pacer);
    std::unique_ptr<SerialPort> a, b;
    ASSERT_EQ(opener.Open("COM1", a), OpenResult::Ok);
    ASSERT_EQ(opener.Open("COM1", b), OpenResult::Ok);
    for (uint8_t byte : BlockReadRequest(0x0400, 8)) {
        b->WriteByte(byte);
        pacer.Sleep(1);
    }
    pacer.Sleep(100);
    EXPECT_EQ(b->TakeArrived(), kFactoryVersion);
    EXPECT_TRUE(a->TakeArrived().empty());
}

TEST(EmulatorPort, AnswerBytesThatArriveWhileClosedAreLost) {
    VirtualPacer pacer;
    EmulatedPortOpener opener(std::make_shared<WriterEmulator>(), pacer);
    std::unique_ptr<SerialPort> port;
    ASSERT_EQ(opener.Open("COM1", port), OpenResult::Ok);
    for (uint8_t byte : BlockReadRequest(0x0400, 8)) {
        port->WriteByte(byte);
        pacer.Sleep(1);
    }
    port.reset();
    pacer.Sleep(100);
    ASSERT_EQ(opener.Open("COM1", port), OpenResult::Ok);
    pacer.Sleep(100);
    EXPECT_TRUE(port->TakeArrived().empty());
}

TEST(EmulatorPort, TheDemoWriterAnswersWithTheFactoryVersion) {
    VirtualPacer pacer;
    auto opener = otp::emu::MakeDemoOpener(pacer);
    std::unique_ptr<SerialPort> port;
    ASSERT_EQ(opener->Open("COM1", port), OpenResult::Ok);
    for (uint8_t byte : BlockReadRequest(0x0400, 8)) {
        port->WriteByte(byte);
        pacer.Sleep(1);
    }
    EXPECT_TRUE(port->TakeArrived().empty());
    pacer.Sleep(100);
    EXPECT_EQ(port->TakeArrived(), kFactoryVersion);
    EXPECT_EQ(WithoutChecksum(otp::emu::MakeDemoWriter()->ReadMemory(0x7F90, 16)), kFactoryBodyInfo);
}

}  // namespace
