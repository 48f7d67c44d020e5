#include <gtest/gtest.h>

#include <memory>

#include "config/WriterState.h"
#include "view/HexText.h"

using namespace otp;

class WriterStateTest : public ::testing::Test {
protected:
    std::unique_ptr<WriterState> s = std::make_unique<WriterState>();
};

TEST_F(WriterStateTest, StartsZeroed) {
    EXPECT_EQ(s->ReplyLength, 0);
    EXPECT_EQ(s->ObjectLength, 0);
    EXPECT_EQ(s->ValueDigits, 0);
    EXPECT_EQ(s->RowWidth, 0);
    EXPECT_TRUE(s->PortName.empty());
    EXPECT_EQ(s->BodyInfo[64][31], 0);
    EXPECT_EQ(s->ReadBackBuffer[16383], 0);
}

TEST_F(WriterStateTest, LayoutFollowsBodyFlagsBit7) {
    s->BodyInfo[0][4] = 0x80;
    SetLayoutFromBodyInfo(*s);
    EXPECT_EQ(s->ValueDigits, 2);
    EXPECT_EQ(s->RowWidth, 16);
    s->BodyInfo[0][4] = 0x7F;
    SetLayoutFromBodyInfo(*s);
    EXPECT_EQ(s->ValueDigits, 4);
    EXPECT_EQ(s->RowWidth, 8);
}

TEST_F(WriterStateTest, OptionChecksumOverFirstNBytes) {
    s->OptionBytes.fill(0xFF);
    OptionChecksum(*s, 16);
    EXPECT_EQ(s->OptionChecksum, 0x0FF0);
    OptionChecksum(*s, 8);
    EXPECT_EQ(s->OptionChecksum, 0x07F8);
    OptionChecksum(*s, 0);
    EXPECT_EQ(s->OptionChecksum, 0);
}

TEST_F(WriterStateTest, ObjectChecksumWrapsAfterEveryAddition) {
    s->RomImage[0] = 0xFFFF;
    s->RomImage[1] = 3;
    ObjectChecksum(*s, 2);
    EXPECT_EQ(s->ObjectChecksum, 2);
    // Values beyond 16 bits still sum modulo 0x10000.
    s->RomImage[0] = 0x12345;
    s->RomImage[1] = -1;
    ObjectChecksum(*s, 2);
    EXPECT_EQ(s->ObjectChecksum, 0x2344);
    // A count beyond the image stays inside it.
    ObjectChecksum(*s, 100000);
    EXPECT_EQ(s->ObjectChecksum, 0x2344);
}

TEST_F(WriterStateTest, TotalChecksumShownAsFourDigits) {
    s->ObjectChecksum = 0xFF00;
    s->OptionChecksum = 0x0200;
    EXPECT_EQ(FormatHex(TotalChecksum(*s), 4), "0100");
}

TEST_F(WriterStateTest, BodyObjectLengthLowByteFirst) {
    s->BodyInfo[0][5] = 0x00;
    s->BodyInfo[0][6] = 0x04;
    EXPECT_EQ(BodyObjectLength(s->BodyInfo[0]), 1024);
}
