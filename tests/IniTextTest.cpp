#include <gtest/gtest.h>

#include "config/IniText.h"
#include "config/TextLines.h"

using namespace otp;

TEST(SplitIniLine, CutsCommentTrimsAndUpperCases) {
    const IniFields f = SplitIniLine("  rs232_port   com2  // second port", 0xFF);
    EXPECT_EQ(f.KeyField, "RS232_PORT");
    EXPECT_EQ(f.ValueField, "COM2");
    EXPECT_EQ(f.ThirdField, "");
    EXPECT_EQ(f.FourthField, "");
    EXPECT_EQ(f.Count, 2);
}

TEST(SplitIniLine, FourthFieldKeepsInnerBlanks) {
    const IniFields f = SplitIniLine("Key value third the  rest of it", 0xFF);
    EXPECT_EQ(f.KeyField, "KEY");
    EXPECT_EQ(f.ValueField, "VALUE");
    EXPECT_EQ(f.ThirdField, "THIRD");
    EXPECT_EQ(f.FourthField, "THE  REST OF IT");
    EXPECT_EQ(f.Count, 4);
}

TEST(SplitIniLine, OnlyTheBlankSeparatesWords) {
    const IniFields f = SplitIniLine("BNK_DLY\t50", 0xFF);
    EXPECT_EQ(f.KeyField, "BNK_DLY\t50");
    EXPECT_EQ(f.Count, 1);
}

TEST(SplitIniLine, SemicolonCutAfterSlashCut) {
    EXPECT_EQ(SplitIniLine("body rx4400 ; comment", 0xFF).ValueField, "RX4400");
    EXPECT_EQ(SplitIniLine("WRITER_DRIVER C:\\A;B.BIN", 0xFF).ValueField, "C:\\A");
    EXPECT_EQ(SplitIniLine("WRITER_DRIVER //server/x.bin", 0xFF).Count, 1);
}

TEST(SplitIniLine, FlagsSelectWhatIsCutAndUpperCased) {
    // 0xEE: no trailing trim of the line... and the fourth field keeps its case.
    IniFields f = SplitIniLine("a b c d e", 0xEE);
    EXPECT_EQ(f.KeyField, "A");
    EXPECT_EQ(f.ValueField, "B");
    EXPECT_EQ(f.ThirdField, "C");
    EXPECT_EQ(f.FourthField, "d e");
    // Without cutting flags the comment stays part of the words.
    f = SplitIniLine("key ;x", 0x00);
    EXPECT_EQ(f.KeyField, "key");
    EXPECT_EQ(f.ValueField, ";x");
    // Without the leading trim the key still loses its leading blanks.
    f = SplitIniLine("   key", 0x00);
    EXPECT_EQ(f.KeyField, "key");
    EXPECT_EQ(f.Count, 1);
    // A trailing blank without trim counts a value field that ends up empty.
    f = SplitIniLine("key ", 0x00);
    EXPECT_EQ(f.Count, 2);
    EXPECT_EQ(f.ValueField, "");
}

TEST(SplitIniLine, EmptyAndCommentOnlyLines) {
    EXPECT_EQ(SplitIniLine("", 0xFF).Count, 0);
    EXPECT_EQ(SplitIniLine("// host settings\n", 0xFF).Count, 0);
    EXPECT_EQ(SplitIniLine("   \r\n", 0xFF).Count, 0);
}

TEST(ParseNumber, ExamplesAndPrefixes) {
    EXPECT_EQ(ParseNumber("$1F", 10), 31);
    EXPECT_EQ(ParseNumber("1F", 10), 1);
    EXPECT_EQ(ParseNumber("0x1F", 16), 31);
    EXPECT_EQ(ParseNumber("%1010", 10), 10);
    EXPECT_EQ(ParseNumber("&17", 10), 15);
    EXPECT_EQ(ParseNumber("-5", 10), 5);
    EXPECT_EQ(ParseNumber("", 10), 0);
    EXPECT_EQ(ParseNumber("a5", 16), 0xA5);
    EXPECT_EQ(ParseNumber("A5", 10), 5);
    EXPECT_EQ(ParseNumber("@0010\n", 16), 0x10);
    EXPECT_EQ(ParseNumber("1$2", 10), 12);  // a prefix only counts in front
}

TEST(ParseNumber, WrapsAt32BitsAndRejectsBadBases) {
    EXPECT_EQ(ParseNumber("FFFFFFFF", 16), -1);
    EXPECT_EQ(ParseNumber("100000000", 16), 0);
    EXPECT_EQ(ParseNumber("4294967297", 10), 1);
    EXPECT_EQ(ParseNumber("123", 1), 0);
    EXPECT_EQ(ParseNumber("123", 17), 0);
}

TEST(TextLines, LongLinesComeInPiecesOf131) {
    TextLines lines(std::string(200, 'x') + "\nnext\n");
    auto a = lines.Next();
    auto b = lines.Next();
    auto c = lines.Next();
    ASSERT_TRUE(a && b && c);
    EXPECT_EQ(a->size(), 131u);
    EXPECT_EQ(*b, std::string(69, 'x') + "\n");
    EXPECT_EQ(*c, "next\n");
    EXPECT_FALSE(lines.Next());
}

TEST(TextLines, CrLfReadsAsLineFeedAndLoneCrStays) {
    TextLines lines("a\r\nb\rc\nlast");
    EXPECT_EQ(*lines.Next(), "a\n");
    EXPECT_EQ(*lines.Next(), "b\rc\n");
    EXPECT_EQ(*lines.Next(), "last");
    EXPECT_FALSE(lines.Next());
}
