// The emulated writer's IC socket at the byte level: the socket states, the
// time the writer takes, its deafness while it programs, and the cells.
#include <gtest/gtest.h>

#include "emulatedport/EmulatedPort.h"
#include "emulator/IcAccess.h"
#include "emulator/WriterEmulator.h"
#include "WireRequests.h"

using otp::test::BlockReadRequest;

namespace {

using otp::emu::Ic;
using otp::emu::IcKind;
using otp::emu::WriterEmulator;
using Bytes = std::vector<uint8_t>;


// Feeds bytes 1 ms apart from `atUs`; returns the time after the last.
int64_t Feed(WriterEmulator& w, const Bytes& bytes, int64_t atUs) {
    for (uint8_t b : bytes) {
        w.Receive(b, atUs);
        atUs += 1000;
    }
    return atUs;
}

}  // namespace

TEST(EmulatorSocket, KindsAreNamedAndParsedBothWays) {
    for (IcKind kind : {IcKind::None, IcKind::Blank, IcKind::Programmed, IcKind::Locked, IcKind::WrongBody, IcKind::Fault})
        EXPECT_EQ(otp::emu::ParseIcKind(otp::emu::IcKindName(kind)), kind);
    EXPECT_FALSE(otp::emu::ParseIcKind("Blank").has_value());
    EXPECT_FALSE(otp::emu::ParseIcKind("").has_value());
    EXPECT_EQ(std::string(otp::emu::kIcKindList), "none|blank|programmed|locked|wrong-body|fault");
}

TEST(EmulatorSocket, ANewWriterHasAnEmptySocketTheDemoWriterABlankIc) {
    WriterEmulator w;
    EXPECT_TRUE(w.Socket().Empty());
    const auto demo = otp::emu::MakeDemoWriter();
    ASSERT_FALSE(demo->Socket().Empty());
    EXPECT_EQ(otp::emu::SocketStatus(*demo), "socket: blank; body any; banks used: none; test code: FFFF FFFF; next rolling code: 0100");
}

TEST(EmulatorSocket, TheStatusLineDescribesEachKind) {
    WriterEmulator w;
    EXPECT_EQ(otp::emu::SocketStatus(w), "socket: none; next rolling code: 0100");
    otp::emu::PutInSocket(w, IcKind::Programmed);
    EXPECT_EQ(otp::emu::SocketStatus(w), "socket: programmed; body 00; banks used: 0; test code: FFFF FFFF; next rolling code: 0100");
    otp::emu::PutInSocket(w, IcKind::Locked);
    EXPECT_EQ(otp::emu::SocketStatus(w), "socket: locked; body 00; banks used: 0; test code: FFFF FFFF; next rolling code: 0100");
    otp::emu::PutInSocket(w, IcKind::WrongBody);
    EXPECT_EQ(otp::emu::SocketStatus(w), "socket: wrong-body; body 80; banks used: none; test code: 7E80 817F; next rolling code: 0100");
    otp::emu::PutInSocket(w, IcKind::Fault);
    EXPECT_EQ(otp::emu::SocketStatus(w).rfind("socket: fault;", 0), 0u);
    otp::emu::PutInSocket(w, IcKind::None);
    EXPECT_TRUE(w.Socket().Empty());
}

TEST(EmulatorSocket, ProgramAnswersAfterItsWorkAndIsDeafMeanwhile) {
    WriterEmulator w;
    otp::emu::PutInSocket(w, IcKind::Blank);
    w.Receive(0x65, 0);  // arrives at 1042; 5 ms + 1024 x 1 ms of work
    const int64_t ready = 1042 + 5000 + 1024 * 1000;
    EXPECT_EQ(w.NextReplyUs(), ready + WriterEmulator::LineTimeUs(1));
    // A block read sent while the writer programs is lost.
    Feed(w, BlockReadRequest(0x0400, 8), 100000);
    EXPECT_EQ(w.TakeReplies(2000000), Bytes{0x00});
    EXPECT_TRUE(w.TakeReplies(3000000).empty());
    // Afterwards it listens again.
    Feed(w, BlockReadRequest(0x0400, 8), 3000000);
    EXPECT_EQ(w.TakeReplies(4000000).size(), 8u);
}

TEST(EmulatorSocket, ProgrammingOnlyClearsBitsAndTheVerifyPassSeesIt) {
    WriterEmulator w;
    otp::emu::PutInSocket(w, IcKind::Blank);
    w.Socket().Held()->banks[0][2] = 0x0F;
    Bytes image(1024, 0xFF);
    image[2] = 0xF3;
    image[3] = 0x5A;
    w.WriteMemory(WriterEmulator::kImageAddr, image);
    w.Receive(0x65, 0);
    EXPECT_EQ(w.TakeReplies(2000000), Bytes{0x02});
    const Ic& ic = *w.Socket().Held();
    EXPECT_EQ(ic.banks[0][2], 0x03);
    EXPECT_EQ(ic.banks[0][3], 0x5A);
    EXPECT_EQ(ic.usedBanks, 0x01);
    EXPECT_EQ(ic.bodyCode, 0);

    // The verify command compares the same way.
    w.Receive(0x67, 3000000);
    EXPECT_EQ(w.TakeReplies(4000000), Bytes{0x02});
    w.WriteMemory(WriterEmulator::kImageAddr + 2, {0x03});
    w.Receive(0x67, 5000000);
    EXPECT_EQ(w.TakeReplies(6000000), Bytes{0x00});
}

TEST(EmulatorSocket, ProgramWorksOnTheSelectedBankOfABankBody) {
    WriterEmulator w;
    // Eight-bank ByteMode body of 16 values, bank 5 selected.
    w.WriteMemory(WriterEmulator::kBodyInfoAddr, {0xA5, 0x00, 0x00, 0x00, 0x80, 0x10, 0x00, 0x00, 0xA0, 0x00, 0x00, 0x00,
                                                   0x00, 0xA0, 0x00, 0x00});
    otp::emu::PutInSocket(w, IcKind::Blank);
    w.WriteMemory(WriterEmulator::kImageAddr, Bytes(16, 0x42));
    w.Receive(0x65, 0);
    EXPECT_EQ(w.TakeReplies(1000000), Bytes{0x00});
    const Ic& ic = *w.Socket().Held();
    EXPECT_EQ(ic.usedBanks, 1 << 5);
    EXPECT_EQ(ic.banks[5][0], 0x42);
    EXPECT_EQ(ic.banks[0][0], 0xFF);
    // The blank check of bank 5 now fails, that of bank 6 passes.
    w.Receive(0x63, 2000000);
    EXPECT_EQ(w.TakeReplies(3000000), Bytes{0x02});
    w.Poke(WriterEmulator::kBodyInfoAddr + 13, 0xC0);
    w.Receive(0x63, 4000000);
    EXPECT_EQ(w.TakeReplies(5000000), Bytes{0x00});
}

TEST(EmulatorSocket, ReadCopiesTheBankAndOptionsAndAnswersTheSum) {
    WriterEmulator w;
    w.WriteMemory(WriterEmulator::kBodyInfoAddr, {0xA5, 0x00, 0x00, 0x00, 0x00, 0x02, 0x00});  // WordMode, 2 values
    Ic ic;
    ic.banks[0][0] = 0xFF;
    ic.banks[0][1] = 0x00;
    ic.banks[0][2] = 0x03;
    ic.banks[0][3] = 0x01;
    ic.options[0] = 0x12;
    w.Socket().Insert(ic);
    w.Receive(0x69, 0);
    // 0x00FF + 0x0103 = 0x0202, high byte first, then the status.
    EXPECT_EQ(w.TakeReplies(100000), (Bytes{0x02, 0x02, 0x00}));
    EXPECT_EQ(w.ReadMemory(WriterEmulator::kIcImageAddr, 5), (Bytes{0xFF, 0x00, 0x03, 0x01, 0xFF}));
    EXPECT_EQ(w.Peek(WriterEmulator::kIcOptionAddr), 0x12);
}
