// The fault plan of the emulated writer, in virtual time: what each fault
// does to the bytes and times on the line, which occurrence it hits, and
// what is left of a writer that has died.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "emulatedport/EmulatedPort.h"
#include "emulator/FaultRule.h"
#include "emulator/IcAccess.h"
#include "emulator/WriterEmulator.h"
#include "link/Pacer.h"
#include "WireRequests.h"

using otp::test::BlockReadRequest;

namespace {

using otp::OpenResult;
using otp::SerialPort;
using otp::VirtualPacer;
using otp::emu::EmulatedPortOpener;
using otp::emu::Fault;
using otp::emu::FaultKind;
using otp::emu::WriterEmulator;
using Bytes = std::vector<uint8_t>;
using Lines = std::vector<std::string>;

const Bytes kVersion = {0x01, 0x02, 0x00, 0x07, 0x01, 0x00, 0x00, 0x00};
const Bytes kRead = BlockReadRequest(0x0400, 8);
// The first outputs of std::mt19937 seeded 1, low bytes.
const Bytes kNoise = {0x25, 0xEB, 0x8C, 0x48, 0xFF, 0x89, 0xCB, 0x85};

Bytes Part(const Bytes& b, size_t from, size_t to) { return Bytes(b.begin() + from, b.begin() + to); }
Bytes Join(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

struct Timed {
    int64_t us;
    uint8_t byte;
    bool operator==(const Timed& o) const { return us == o.us && byte == o.byte; }
};
std::ostream& operator<<(std::ostream& os, const Timed& t) { return os << t.us << ":" << int(t.byte); }
using Timeline = std::vector<Timed>;

// `bytes` back to back on a line that starts carrying them at `startUs`.
Timeline OnLine(int64_t startUs, const Bytes& bytes) {
    Timeline out;
    for (size_t k = 0; k < bytes.size(); ++k) out.push_back({startUs + WriterEmulator::LineTimeUs(int64_t(k) + 1), bytes[k]});
    return out;
}
Timeline operator+(Timeline a, const Timeline& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// Every answer byte, with the time it becomes available.
Timeline Answers(WriterEmulator& w) {
    Timeline out;
    while (const auto at = w.NextReplyUs())
        for (uint8_t b : w.TakeReplies(*at)) out.push_back({*at, b});
    return out;
}

TEST(EmulatorFault, RulesAreTakenOrRefusedWithAReason) {
    struct Row {
        const char* rule;
        const char* error;  // "" when taken
        char target;
        int occurrence;
        FaultKind kind;
        int64_t count, ms;
    };
    const Row rows[] = {
        {"W:silent", "", 'W', 0, FaultKind::Silent, 0, 0},
        {"*#3:late=250", "", '*', 3, FaultKind::Late, 0, 250},
        {"m#12:tail=4,30", "", 'm', 12, FaultKind::Tail, 4, 30},
        {"i:truncate=0", "", 'i', 0, FaultKind::Truncate, 0, 0},
        {"Q:extra=5", "", 'Q', 0, FaultKind::Extra, 5, 0},
        {"S:flood=1000000", "", 'S', 0, FaultKind::Flood, 1000000, 0},
        {"U:garbage", "", 'U', 0, FaultKind::Garbage, 0, 0},
        {"g:corrupt=3", "", 'g', 0, FaultKind::Corrupt, 3, 0},
        {"m:lose=0", "", 'm', 0, FaultKind::Lose, 0, 0},
        {"u:deaf=40", "", 'u', 0, FaultKind::Deaf, 0, 40},
        {"e#1:die", "", 'e', 1, FaultKind::Die, 0, 0},
        {"k:die=7", "", 'k', 0, FaultKind::Die, 7, 0},
        {"o:die-rx=1", "", 'o', 0, FaultKind::DieRx, 1, 0},
        {"W", "TARGET:KIND", 0, 0, FaultKind::Silent, 0, 0},
        {":silent", "not a command letter", 0, 0, FaultKind::Silent, 0, 0},
        {"WW:silent", "not a command letter", 0, 0, FaultKind::Silent, 0, 0},
        {"x:silent", "no command x", 0, 0, FaultKind::Silent, 0, 0},
        {"W#0:silent", "number from 1", 0, 0, FaultKind::Silent, 0, 0},
        {"W#:silent", "number from 1", 0, 0, FaultKind::Silent, 0, 0},
        {"W:loud", "not a fault kind", 0, 0, FaultKind::Silent, 0, 0},
        {"W:Silent", "not a fault kind", 0, 0, FaultKind::Silent, 0, 0},
        {"W:silent=1", "takes no value", 0, 0, FaultKind::Silent, 0, 0},
        {"W:late", "needs =MS", 0, 0, FaultKind::Silent, 0, 0},
        {"W:late=", "not a number", 0, 0, FaultKind::Silent, 0, 0},
        {"W:late=-5", "not a number", 0, 0, FaultKind::Silent, 0, 0},
        {"W:late=5ms", "not a number", 0, 0, FaultKind::Silent, 0, 0},
        {"W:extra=1000001", "not a number", 0, 0, FaultKind::Silent, 0, 0},
        {"W:tail=3", "needs =K,MS", 0, 0, FaultKind::Silent, 0, 0},
        {"W:tail=3,", "not a number", 0, 0, FaultKind::Silent, 0, 0},
        {"W:tail=,5", "not a number", 0, 0, FaultKind::Silent, 0, 0},
        {"W:die-rx=0", "counts from 1", 0, 0, FaultKind::Silent, 0, 0},
        {"W: silent", "not a fault kind", 0, 0, FaultKind::Silent, 0, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.rule);
        WriterEmulator w;
        std::string error;
        EXPECT_EQ(w.AddFault(row.rule, error), *row.error == '\0') << error;
        EXPECT_NE(error.find(row.error), std::string::npos) << error;
        if (*row.error) continue;
        Fault f;
        ASSERT_TRUE(otp::emu::ParseFault(row.rule, f, error));
        EXPECT_EQ(f.target, row.target);
        EXPECT_EQ(f.occurrence, row.occurrence);
        EXPECT_EQ(f.kind, row.kind);
        EXPECT_EQ(f.count, row.count);
        EXPECT_EQ(f.ms, row.ms);
    }
}

TEST(EmulatorFault, EachFaultShapesTheAnswerOnTheLine) {
    // The request goes out back to back at time 0 and is in at 8334 us.
    const int64_t in = WriterEmulator::LineTimeUs(8);
    const Bytes optionWrite = Join({0x77}, Bytes(16, 0x00));
    struct Row {
        Lines faults;
        Timeline answer;
        Lines reports;
        bool dead = false;
        Bytes request = kRead;
        uint32_t seed = 1;
    };
    const Row rows[] = {
        {{}, OnLine(in, kVersion), {}},
        {{"W:silent"}, {}, {"W#1 silent: answer of 8 bytes withheld"}},
        {{"W:late=5"}, OnLine(in + 5000, kVersion), {"W#1 late=5: answer of 8 bytes 5 ms late"}},
        {{"W:tail=3,5"},
         OnLine(in, Part(kVersion, 0, 3)) + OnLine(in + WriterEmulator::LineTimeUs(3) + 5000, Part(kVersion, 3, 8)),
         {"W#1 tail=3,5: answer bytes 3 to 7 5 ms late"}},
        {{"W:truncate=3"}, OnLine(in, Part(kVersion, 0, 3)), {"W#1 truncate=3: answer cut from 8 to 3 bytes"}},
        {{"W:extra=2"}, OnLine(in, Join(kVersion, Part(kNoise, 0, 2))),
         {"W#1 extra=2: 2 bytes of noise after the answer of 8 bytes"}},
        {{"W:flood=3"}, OnLine(in, Part(kNoise, 0, 3)), {"W#1 flood=3: answer of 8 bytes replaced by 3 bytes of noise"}},
        {{"W:garbage"}, OnLine(in, kNoise), {"W#1 garbage: answer of 8 bytes replaced by noise"}},
        {{"W:garbage"}, OnLine(in, {0xA8, 0x0F, 0xED, 0x48, 0x16, 0x2B, 0xD2, 0x4B}),
         {"W#1 garbage: answer of 8 bytes replaced by noise"}, false, kRead, 2},
        {{"W:corrupt=1"}, OnLine(in, {0x01, 0x02 ^ 0x25, 0x00, 0x07, 0x01, 0x00, 0x00, 0x00}),
         {"W#1 corrupt=1: answer byte 1 changed from 0x02 to 0x27"}},
        {{"W:corrupt=8"}, OnLine(in, kVersion), {"W#1 corrupt=8: answer of 8 bytes has no byte 8"}},
        {{"W:die=2"}, OnLine(in, Part(kVersion, 0, 2)), {"W#1 die=2: the writer dies after 2 of 8 bytes of the answer"},
         true},
        {{"W:die"}, {}, {"W#1 die: the writer dies after 0 of 8 bytes of the answer"}, true},
        {{"W:late=5", "W:truncate=2"}, OnLine(in + 5000, Part(kVersion, 0, 2)),
         {"W#1 late=5: answer of 8 bytes 5 ms late", "W#1 truncate=2: answer cut from 8 to 2 bytes"}},
        {{"*:silent"}, {}, {"*#1 (W) silent: answer of 8 bytes withheld"}},
        {{"u:silent"}, OnLine(in, kVersion), {}},
        {{"W:lose=0"}, {}, {"W#1 lose=0: host byte 0 (0x57) lost"}},
        {{"W:lose=8"}, OnLine(in, kVersion), {"W#1 lose=8: the command ended after 8 bytes, nothing lost"}},
        {{"W:die-rx=8"}, {}, {"W#1 die-rx=8: the writer dies after taking 8 bytes"}, true},
        {{"W:die-rx=9"}, OnLine(in, kVersion), {}},
        // Faults on the answer of a command that has none.
        {{"W:truncate=1"}, {}, {"W#1 truncate=1: no answer to change"}, false, BlockReadRequest(0x0400, 8, 0)},
        {{"w:die"}, {}, {"w#1 die: no answer to change"}, false, optionWrite},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.faults.empty() ? "no fault" : row.faults[0]);
        WriterEmulator w;
        w.SetFaultSeed(row.seed);
        std::string error;
        for (const std::string& f : row.faults) ASSERT_TRUE(w.AddFault(f, error)) << error;
        for (uint8_t b : row.request) w.Receive(b, 0);
        EXPECT_EQ(Answers(w), row.answer);
        w.AdvanceTo(1000000);
        EXPECT_EQ(w.FaultReports(), row.reports);
        EXPECT_EQ(w.Dead(), row.dead);
        // A dead writer takes nothing and answers nothing; a live one goes on.
        w.ClearFaults();
        for (uint8_t b : kRead) w.Receive(b, 2000000);
        EXPECT_EQ(w.TakeReplies(3000000).size(), row.dead ? 0u : 8u);
    }
}

TEST(EmulatorFault, FaultsOnWhatTheWriterTakesChangeWhatItStores) {
    // An option write, one byte per ms from 0: byte i arrives at i ms + 1042 us.
    Bytes options;
    for (int i = 0; i < 16; ++i) options.push_back(static_cast<uint8_t>(0xA0 + i));
    const Bytes ff(16, 0xFF);
    struct Row {
        const char* fault;
        Bytes stored;
        const char* report;
        bool dead;
    };
    const Row rows[] = {
        {"w:lose=3", Join(Join(Part(options, 0, 2), Part(options, 3, 16)), {0xFF}),
         "w#1 lose=3: host byte 3 (0xA2) lost", false},
        {"*:lose=1", Join(Part(options, 1, 16), {0xFF}), "*#1 (w) lose=1: host byte 1 (0xA0) lost", false},
        {"w:lose=0", ff, "w#1 lose=0: host byte 0 (0x77) lost", false},
        // Deaf until 6042 us: the bytes sent at 1 to 4 ms are lost.
        {"w:deaf=5", Join(Part(options, 4, 16), Part(ff, 0, 4)), "w#1 deaf=5: deaf for 5 ms after the command byte",
         false},
        {"w:die-rx=5", Join(Part(options, 0, 4), Part(ff, 0, 12)), "w#1 die-rx=5: the writer dies after taking 5 bytes",
         true},
        {"w:die-rx=1", ff, "w#1 die-rx=1: the writer dies after taking 1 byte", true},
        {"w:die-rx=17", options, "w#1 die-rx=17: the writer dies after taking 17 bytes", true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.fault);
        WriterEmulator w;
        std::string error;
        ASSERT_TRUE(w.AddFault(row.fault, error)) << error;
        const Bytes write = Join({0x77}, options);
        for (size_t i = 0; i < write.size(); ++i) w.Receive(write[i], int64_t(i) * 1000);
        w.AdvanceTo(200000);
        EXPECT_EQ(w.ReadMemory(WriterEmulator::kOptionAddr, 16), row.stored);
        EXPECT_EQ(w.FaultReports(), Lines{row.report});
        EXPECT_EQ(w.Dead(), row.dead);
    }
}

TEST(EmulatorFault, AnOccurrenceIsACommandByteTakenAfterTheFaultWasAdded) {
    // The steps, and the answer bytes each one sees before the next: an
    // option write of sixteen 'W' data bytes, a read, a program that keeps
    // the writer busy for 1.03 s, a read lost meanwhile (the program's
    // status byte arrives after it), two more reads.
    const Bytes program = {0x65};
    const std::vector<std::pair<Bytes, int64_t>> steps = {
        {Join({0x77}, Bytes(16, 0x57)), 100}, {kRead, 100}, {program, 100}, {kRead, 2000}, {kRead, 100}, {kRead, 100}};
    struct Row {
        const char* fault;
        size_t addedBeforeStep;
        std::vector<size_t> answered;
        const char* firstReport;
    };
    const Row rows[] = {
        {"W#1:silent", 0, {0, 0, 0, 1, 8, 8}, "W#1 silent: answer of 8 bytes withheld"},
        {"W#2:silent", 0, {0, 8, 0, 1, 0, 8}, "W#2 silent: answer of 8 bytes withheld"},
        {"W#3:silent", 0, {0, 8, 0, 1, 8, 0}, "W#3 silent: answer of 8 bytes withheld"},
        {"W:silent", 0, {0, 0, 0, 1, 0, 0}, "W#1 silent: answer of 8 bytes withheld"},
        {"*#2:silent", 0, {0, 0, 0, 1, 8, 8}, "*#2 (W) silent: answer of 8 bytes withheld"},
        {"*#3:silent", 0, {0, 8, 0, 0, 8, 8}, "*#3 (e) silent: answer of 1 byte withheld"},
        {"e#1:silent", 0, {0, 8, 0, 0, 8, 8}, "e#1 silent: answer of 1 byte withheld"},
        {"W#1:silent", 2, {0, 8, 0, 1, 0, 8}, "W#1 silent: answer of 8 bytes withheld"},
        {"W#2:silent", 2, {0, 8, 0, 1, 8, 0}, "W#2 silent: answer of 8 bytes withheld"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.fault) + " added before step " + std::to_string(row.addedBeforeStep));
        WriterEmulator w;
        otp::emu::PutInSocket(w, otp::emu::IcKind::Blank);
        std::vector<size_t> answered;
        int64_t nowUs = 0;
        for (size_t i = 0; i < steps.size(); ++i) {
            std::string error;
            if (i == row.addedBeforeStep) {
                ASSERT_TRUE(w.AddFault(row.fault, error)) << error;
            }
            for (uint8_t b : steps[i].first) w.Receive(b, nowUs);
            nowUs += steps[i].second * 1000;
            answered.push_back(w.TakeReplies(nowUs).size());
        }
        EXPECT_EQ(answered, row.answered);
        ASSERT_FALSE(w.FaultReports().empty());
        EXPECT_EQ(w.FaultReports()[0], row.firstReport);
    }
}

TEST(EmulatorFault, ADeadWriterDeliversWhatWentOutBeforeAndItsDeviceIsGone) {
    // A read at 0-7 ms, then a second request from `secondAtMs`, one byte per ms.
    struct Row {
        const char* fault;
        Bytes second;
        int secondAtMs;
        Bytes delivered;
    };
    const Row rows[] = {
        // The second read's answer queues behind the first; 3 bytes of it go out.
        {"W#2:die=3", kRead, 8, Join(kVersion, Part(kVersion, 0, 3))},
        // The writer dies at 12042 us, as the read's 4th byte is still on the wire.
        {"u:die-rx=1", {0x75}, 11, Part(kVersion, 0, 3)},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.fault);
        VirtualPacer pacer;
        auto writer = std::make_shared<WriterEmulator>();
        EmulatedPortOpener opener(writer, pacer);
        std::unique_ptr<SerialPort> port;
        ASSERT_EQ(opener.Open("COM1", port), OpenResult::Ok);
        std::string error;
        ASSERT_TRUE(writer->AddFault(row.fault, error)) << error;
        auto send = [&](const Bytes& bytes) {
            for (uint8_t b : bytes) {
                port->WriteByte(b);
                pacer.Sleep(1);
            }
        };
        send(kRead);
        pacer.Sleep(row.secondAtMs - 8);
        send(row.second);
        pacer.Sleep(200);
        EXPECT_EQ(port->TakeArrived(), row.delivered);
        EXPECT_TRUE(writer->Dead());
        writer->ClearFaults();
        send(kRead);
        pacer.Sleep(200);
        EXPECT_TRUE(port->TakeArrived().empty());
        EXPECT_EQ(opener.Open("COM1", port), OpenResult::OpenError);
        EXPECT_FALSE(port);
    }
}

TEST(EmulatorFault, TheWriterDiesOnlyWhenItsLastByteHasGoneOut) {
    // die=2 on a read whose answer starts at 9376 us: dead at 10418 us.
    VirtualPacer pacer;
    auto writer = std::make_shared<WriterEmulator>();
    EmulatedPortOpener opener(writer, pacer);
    std::string error;
    ASSERT_TRUE(writer->AddFault("W:die=2", error));
    for (uint8_t b : kRead) writer->Receive(b, 0);
    writer->AdvanceTo(10417);
    EXPECT_FALSE(writer->Dead());
    EXPECT_EQ(writer->NextEventUs(), 9376);
    EXPECT_EQ(writer->TakeReplies(10417), Part(kVersion, 0, 1));
    EXPECT_EQ(writer->NextEventUs(), 10418);
    pacer.Sleep(11);
    std::unique_ptr<SerialPort> port;
    EXPECT_EQ(opener.Open("COM1", port), OpenResult::OpenError);
    EXPECT_TRUE(writer->Dead());
    EXPECT_EQ(writer->TakeReplies(20000), Part(kVersion, 1, 2));
    EXPECT_FALSE(writer->NextEventUs().has_value());
}

}  // namespace
