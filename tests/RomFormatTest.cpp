// The .rom format on its own: data lines, header lines, and the text a
// whole file is written as.
#include <gtest/gtest.h>

#include <memory>

#include "romfile/RomFormat.h"

using namespace otp;

namespace {

std::unique_ptr<WriterState> FreshState() { return std::make_unique<WriterState>(); }

// Records what the reader of the sections reports.
struct Recorder : RomSectionEvents {
    std::vector<std::string> events;
    const WriterState* s = nullptr;
    void OptionBytesTaken() override { events.push_back("options " + std::to_string(s->OptionChecksum)); }
    void SectionRead(int32_t first, const DataSection& d) override {
        events.push_back("section " + std::to_string(first) + " length " + std::to_string(s->ObjectLength) +
                         " digits " + std::to_string(s->ValueDigits) + " stored " + std::to_string(d.stored) +
                         " ignored " + std::to_string(d.ignored));
    }
    void LengthRefused(int32_t length) override { events.push_back("refused " + std::to_string(length)); }
};

}  // namespace

// ---------------------------------------------------------------- data lines

TEST(RomDataLines, EachLineStartsAtItsOwnAddress) {
    auto s = FreshState();
    TextLines in("0010  12 34\n 56\nCHECKSUM 0000\nAFTER\n");
    const DataSection d = ParseDataLines(in, 0, *s);
    EXPECT_EQ(s->RomImage[16], 0x12);
    EXPECT_EQ(s->RomImage[17], 0x34);
    // A line that begins with a blank has the empty address 0.
    EXPECT_EQ(s->RomImage[0], 0x56);
    EXPECT_EQ(d.stored, 3);
    EXPECT_EQ(d.ignored, 0);
    // The CHECKSUM line is consumed, nothing after it.
    EXPECT_EQ(in.Next(), std::optional<std::string>("AFTER\n"));
}

TEST(RomDataLines, PositionCountsFromTheFirstAddress) {
    auto s = FreshState();
    TextLines in("0800  01 02 03 \n0810  04\nCHECKSUM");
    ParseDataLines(in, 0x800, *s);
    EXPECT_EQ(s->RomImage[0], 1);
    EXPECT_EQ(s->RomImage[2], 3);
    EXPECT_EQ(s->RomImage[16], 4);
}

TEST(RomDataLines, TabJoinsTwoValuesIntoOne) {
    auto s = FreshState();
    TextLines in("0000  12\t34 56\nCHECKSUM\n");
    const DataSection d = ParseDataLines(in, 0, *s);
    EXPECT_EQ(s->RomImage[0], 0x1234);
    EXPECT_EQ(s->RomImage[1], 0x56);
    EXPECT_EQ(d.stored, 2);
}

TEST(RomDataLines, AtSignBeforeTheAddressIsSkipped) {
    auto s = FreshState();
    TextLines in("@0010  AB CD \n@0000  EF \nCHECKSUM 1234");
    ParseDataLines(in, 0, *s);
    EXPECT_EQ(s->RomImage[16], 0xAB);
    EXPECT_EQ(s->RomImage[17], 0xCD);
    EXPECT_EQ(s->RomImage[0], 0xEF);
}

TEST(RomDataLines, TrailingBlankAndLineFeedAddNoValue) {
    auto s = FreshState();
    s->RomImage[2] = 0x77;
    TextLines in("0000  01 02 \n0000  \n\nCHECKSUM\n");
    const DataSection d = ParseDataLines(in, 0, *s);
    EXPECT_EQ(d.stored, 2);
    EXPECT_EQ(s->RomImage[2], 0x77);  // positions the file does not cover keep their values
}

TEST(RomDataLines, WordsAreStoredWholeWithoutNarrowing) {
    auto s = FreshState();
    TextLines in("0000  1234  FFFF  123456  \nCHECKSUM\n");
    ParseDataLines(in, 0, *s);
    EXPECT_EQ(s->RomImage[0], 0x1234);
    EXPECT_EQ(s->RomImage[1], 0xFFFF);
    EXPECT_EQ(s->RomImage[2], 0x123456);
}

TEST(RomDataLines, EndMarkIsMatchedOnTheRawLineInUpperCaseOnly) {
    auto s = FreshState();
    TextLines in("0000  01\nchecksum 02\n0001  03 ; CHECKSUM\n0002  04\n");
    ParseDataLines(in, 0, *s);
    EXPECT_EQ(s->RomImage[0], 1);
    // "checksum 02" is a data line: its address is the hex digits of the
    // word, C E C.
    EXPECT_EQ(s->RomImage[0xCEC], 2);
    // A line holding the mark behind a comment sign still ends the data.
    EXPECT_EQ(s->RomImage[1], 0);
    EXPECT_EQ(s->RomImage[2], 0);
}

TEST(RomDataLines, ValuesOutsideTheImageAreCountedNotStored) {
    auto s = FreshState();
    const auto before = s->RomImage;
    // Below the first address, and from position 8192 on.
    TextLines in("00F0  01 02\n" "20FE  03 04 05 06\nCHECKSUM\n");
    const DataSection d = ParseDataLines(in, 0x100, *s);
    EXPECT_EQ(d.ignored, 2 + 2);
    EXPECT_EQ(d.stored, 2);
    EXPECT_EQ(s->RomImage[8190], 3);
    EXPECT_EQ(s->RomImage[8191], 4);
    for (size_t i = 0; i < 8190; ++i) ASSERT_EQ(s->RomImage[i], before[i]) << i;
}

TEST(RomDataLines, FileEndingRightAfterLengthStoresNothing) {
    auto s = FreshState();
    TextLines in("");
    const DataSection d = ParseDataLines(in, 0, *s);
    EXPECT_EQ(d.stored + d.ignored, 0);
}

TEST(RomDataLines, SecondPieceOfALongLineStartsWithItsOwnAddress) {
    auto s = FreshState();
    // 6 + 41 * 3 = 129 characters, then "05 06\n": the first read takes 131
    // characters ("... 05"), the second is " 06\n": an empty address (0)
    // and one value.
    std::string line = "0000  ";
    for (int i = 0; i < 41; ++i) line += "01 ";
    line += "05 06\n";
    TextLines in(line + "CHECKSUM\n");
    ParseDataLines(in, 0, *s);
    EXPECT_EQ(s->RomImage[40], 1);
    EXPECT_EQ(s->RomImage[41], 5);
    EXPECT_EQ(s->RomImage[0], 6);
    EXPECT_EQ(s->RomImage[42], 0);
}

// ---------------------------------------------------------------- header lines

TEST(RomHeader, BodyLineIsFoundInAnyCaseWithItsComment) {
    TextLines in("descriptive text\nbody rx4400 ; the body\nBODY OTHER\n");
    EXPECT_EQ(FindRomBody(in), std::optional<std::string>("RX4400"));
    TextLines none("MORVIK_BYTE 00\n// BODY RX4400\n");
    EXPECT_EQ(FindRomBody(none), std::nullopt);
}

// A UTF-8 byte-order mark before the first line is skipped.
TEST(RomHeader, ByteOrderMarkBeforeTheFirstLineIsSkipped) {
    const std::string bom = "\xEF\xBB\xBF";
    const struct {
        std::string text;
        std::optional<std::string> body;
        std::vector<std::string> events;
    } rows[] = {
        {bom + "BODY RX4400\r\n", "RX4400", {}},
        {bom + "LENGTH 2 BYTE\n0000  0A 0B\nCHECKSUM 0015\n", std::nullopt,
         {"section 0 length 2 digits 2 stored 2 ignored 0"}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.text);
        TextLines head(row.text);
        EXPECT_EQ(FindRomBody(head), row.body);
        auto s = FreshState();
        Recorder r;
        r.s = s.get();
        TextLines in(row.text);
        ReadRomSections(in, *s, r);
        EXPECT_EQ(r.events, row.events);
    }
}

TEST(RomHeader, OptionBytesFromDigitPairs) {
    auto s = FreshState();
    for (auto& b : s->OptionBytes) b = 0xEE;
    TakeOptionBytes("0123456789ABCDEF", *s);
    EXPECT_EQ(s->OptionBytes[0], 0x01);
    EXPECT_EQ(s->OptionBytes[7], 0xEF);
    for (size_t i = 8; i < 16; ++i) EXPECT_EQ(s->OptionBytes[i], 0) << i;
    EXPECT_EQ(s->OptionBytes[16], 0xEE);  // beyond the option bytes in use
    for (size_t i = 0; i < 8; ++i) EXPECT_EQ(s->ReadBackBuffer[i], s->OptionBytes[i]);
    // A short value: missing pairs give 0; a lone digit is its own pair.
    TakeOptionBytes("A5F", *s);
    EXPECT_EQ(s->OptionBytes[0], 0xA5);
    EXPECT_EQ(s->OptionBytes[1], 0x0F);
    EXPECT_EQ(s->OptionBytes[2], 0x00);
}

TEST(RomHeader, LengthSetsLengthAndLayout) {
    auto s = FreshState();
    Recorder r;
    r.s = s.get();
    TextLines in("STARTADR 0100\nlength 01024 word\nCHECKSUM\nLENGTH 8 ODD\nCHECKSUM\nLENGTH 3 BYTE\nCHECKSUM\n");
    EXPECT_TRUE(ReadRomSections(in, *s, r));
    EXPECT_EQ(r.events, (std::vector<std::string>{"section 256 length 1024 digits 4 stored 0 ignored 0",
                                                  // neither BYTE nor WORD: the layout stays
                                                  "section 256 length 8 digits 4 stored 0 ignored 0",
                                                  "section 256 length 3 digits 2 stored 0 ignored 0"}));
    EXPECT_EQ(s->RowWidth, 16);
}

TEST(RomHeader, LengthWithoutStartAddressStartsAtZero) {
    auto s = FreshState();
    Recorder r;
    r.s = s.get();
    TextLines in("LENGTH 2 BYTE\n0000  0A 0B\nCHECKSUM 0015\n");
    ReadRomSections(in, *s, r);
    EXPECT_EQ(r.events, std::vector<std::string>{"section 0 length 2 digits 2 stored 2 ignored 0"});
    EXPECT_EQ(s->RomImage[1], 0x0B);
}

TEST(RomHeader, OptionBytesAndSectionsInFileOrder) {
    auto s = FreshState();
    Recorder r;
    r.s = s.get();
    TextLines in("MORVIK_SUM 1234\nSTARTADR 0000\nLENGTH 1 BYTE\n0000  01\nCHECKSUM\n"
                 "MORVIK_BYTE FF01\nSTARTADR 0010\nLENGTH 1 BYTE\n0010  02\nCHECKSUM\n");
    ReadRomSections(in, *s, r);
    EXPECT_EQ(r.events, (std::vector<std::string>{"section 0 length 1 digits 2 stored 1 ignored 0",
                                                  "options 256", "section 16 length 1 digits 2 stored 1 ignored 0"}));
    EXPECT_EQ(s->RomImage[0], 2);  // the second section's first address maps 0x10 to position 0
}

TEST(RomHeader, LengthBeyondTheImageIsRefusedAndStopsTheReading) {
    auto s = FreshState();
    s->ObjectLength = 5;
    Recorder r;
    r.s = s.get();
    TextLines in("LENGTH 8192 BYTE\nCHECKSUM\nLENGTH 8193 BYTE\n0000  01\nCHECKSUM\nLENGTH 1 BYTE\n");
    EXPECT_FALSE(ReadRomSections(in, *s, r));
    EXPECT_EQ(r.events, (std::vector<std::string>{"section 0 length 8192 digits 2 stored 0 ignored 0", "refused 8193"}));
    EXPECT_EQ(s->ObjectLength, 8192);
    EXPECT_EQ(s->RomImage[0], 0);
}

// ---------------------------------------------------------------- writing

namespace {

std::unique_ptr<WriterState> ByteModeState(int length) {
    auto s = FreshState();
    SetLayout(*s, true);
    s->ObjectLength = length;
    for (int i = 0; i < length; ++i) s->RomImage[static_cast<size_t>(i)] = i;
    OptionChecksum(*s, 8);
    ObjectChecksum(*s, length);
    return s;
}

std::vector<std::string> SplitLines(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t i = 0; i < text.size(); ++i)
        if (text[i] == '\n') {
            lines.push_back(text.substr(start, i - start));
            start = i + 1;
        }
    if (start < text.size()) lines.push_back(text.substr(start));
    return lines;
}

}  // namespace

TEST(RomWriting, TwoByteRowsThenChecksumAndTrailer) {
    auto s = ByteModeState(32);
    const std::string text = FormatRomFile(*s, "RX5100", 0, "BODY RX5100\nOPTION END\n");
    const auto lines = SplitLines(text);
    ASSERT_EQ(lines.size(), 18u);
    EXPECT_EQ(lines[0], "BODY RX5100");
    EXPECT_EQ(lines[2], "MORVIK_BYTE 0000000000000000");
    EXPECT_EQ(lines[5], "ROM START");
    EXPECT_EQ(lines[8], "ENDADR 001F");
    EXPECT_EQ(lines[9], "LENGTH 32 BYTE");
    EXPECT_EQ(lines[10], "0000  00 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F ");
    EXPECT_EQ(lines[10].size() + 1, 55u);
    EXPECT_EQ(lines[11].substr(0, 6), "0010  ");
    EXPECT_EQ(lines[12], "CHECKSUM 01F0");
    EXPECT_EQ(lines[14], "ROM END");
    EXPECT_EQ(lines[17], "Board Xilinx Version 0205");
    EXPECT_EQ(text.back(), '\n');
}

TEST(RomWriting, WordRowIsFiftyFiveCharactersWithItsLineEnd) {
    auto s = FreshState();
    SetLayout(*s, false);
    s->ObjectLength = 8;
    for (int i = 0; i < 8; ++i) s->RomImage[static_cast<size_t>(i)] = 0xA000 + i;
    const auto lines = SplitLines(FormatRomFile(*s, "W", 0, ""));
    EXPECT_EQ(lines[7], "LENGTH 8 WORD");
    EXPECT_EQ(lines[8], "0000  A000  A001  A002  A003  A004  A005  A006  A007  ");
    EXPECT_EQ(lines[8].size() + 1, 55u);
    EXPECT_EQ(lines[9].substr(0, 9), "CHECKSUM ");
}

TEST(RomWriting, RX4400LengthCarriesALeadingZero) {
    auto s = ByteModeState(1024);
    const auto lines = SplitLines(FormatRomFile(*s, "RX4400", 0, ""));
    EXPECT_EQ(lines[7], "LENGTH 01024 BYTE");
    EXPECT_EQ(lines[6], "ENDADR 03FF");
}

TEST(RomWriting, BoardLinesOnlyForBodiesThatHaveThem) {
    for (const char* body : {"RX4720", "RX4935"}) {
        const std::string text = FormatRomFile(*ByteModeState(16), body, 0, "");
        const std::string end = "CHECKSUM 0078\nBANK 0 END\nROM END\n";
        EXPECT_EQ(text.substr(text.size() - end.size()), end) << body;
    }
    const std::string other = FormatRomFile(*ByteModeState(16), "RX4720A", 0, "");
    EXPECT_NE(other.find("Board SW Version 0001\n"), std::string::npos);
}

TEST(RomWriting, MarkedAddressFormHasAtSignsAndNoTrailer) {
    auto s = ByteModeState(16);
    s->OptionBytes[0] = 0x10;
    EXPECT_TRUE(MarkedAddressForm(*s));
    const std::string text = FormatRomFile(*s, "RX5100", 0x300, "");
    EXPECT_NE(text.find("\n@0300  00 01 "), std::string::npos);
    EXPECT_EQ(text.substr(text.size() - 14), "\nCHECKSUM 0078");
    // Bit 3 set as well: the normal form.
    s->OptionBytes[0] = 0x18;
    EXPECT_FALSE(MarkedAddressForm(*s));
    EXPECT_EQ(FormatRomFile(*s, "RX5100", 0x300, "").find('@'), std::string::npos);
}

TEST(RomWriting, IncompleteLastRowIsWritten) {
    auto s = ByteModeState(20);
    const auto lines = SplitLines(FormatRomFile(*s, "B", 0x10, ""));
    EXPECT_EQ(lines[8], "0010  00 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F ");
    EXPECT_EQ(lines[9], "0020  10 11 12 13 ");
    EXPECT_EQ(lines[10], "CHECKSUM 00BE");
}

TEST(RomWriting, EmptyImageWritesNoRow) {
    auto s = ByteModeState(0);
    const auto lines = SplitLines(FormatRomFile(*s, "B", 0, ""));
    EXPECT_EQ(lines[6], "ENDADR FFFF");
    EXPECT_EQ(lines[7], "LENGTH 0 BYTE");
    EXPECT_EQ(lines[8], "CHECKSUM 0000");
}

TEST(RomWriting, LineEndsBecomeCrLfAndNothingElseChanges) {
    EXPECT_EQ(WithCrLf("A\nB\r\n\nC"), "A\r\nB\r\r\n\r\nC");
}
