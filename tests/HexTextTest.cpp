#include <gtest/gtest.h>

#include <numeric>

#include "view/FormModel.h"
#include "view/HexText.h"

using namespace otp;

TEST(FormatHex, WidthsPaddingAndDroppedDigits) {
    EXPECT_EQ(FormatHex(0, 4), "0000");
    EXPECT_EQ(FormatHex(255, 2), "FF");
    EXPECT_EQ(FormatHex(0xFE00, 4), "FE00");
    EXPECT_EQ(FormatHex(0x100, 2), "00");
    EXPECT_EQ(FormatHex(0x1FF, 2), "FF");
    EXPECT_EQ(FormatHex(0x3A, 1), "A");
    EXPECT_EQ(FormatHex(0x12345, 0), "");
    EXPECT_EQ(FormatHex(7, -3), "");
    EXPECT_EQ(FormatHex(0xABCDEF, 8), "00ABCDEF");
}

class DumpTest : public ::testing::Test {
protected:
    FormModel view;
    void SetUp() override {
        view.ClearPane(Control::RichEdit1);
        view.ClearPane(Control::RichEdit2);
    }
};

TEST_F(DumpTest, RowsOfSixteenLabelledFromStart) {
    int32_t values[20];
    std::iota(values, values + 20, 0);
    DumpValues(view, values, 20, 16, 2, 0x0400, 1);
    ASSERT_EQ(view.Lines(Control::RichEdit2).size(), 2u);
    EXPECT_EQ(view.Lines(Control::RichEdit2)[0],
              "0400: 00 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F ");
    EXPECT_EQ(view.Lines(Control::RichEdit2)[1], "0410: 10 11 12 13 ");
    EXPECT_TRUE(view.Lines(Control::RichEdit1).empty());
}

TEST_F(DumpTest, RowCountsAndEmptyDump) {
    int32_t values[17] = {};
    DumpValues(view, values, 16, 16, 2, 0, 0);
    EXPECT_EQ(view.Lines(Control::RichEdit1).size(), 1u);
    DumpValues(view, values, 17, 16, 2, 0, 0);
    EXPECT_EQ(view.Lines(Control::RichEdit1).size(), 3u);
    EXPECT_EQ(view.Lines(Control::RichEdit1)[2], "0010: 00 ");
    DumpValues(view, values, 0, 16, 2, 0, 5);
    ASSERT_EQ(view.Lines(Control::RichEdit2).size(), 1u);
    EXPECT_EQ(view.Lines(Control::RichEdit2)[0], "");
}

TEST_F(DumpTest, WordValuesAndWrappingLabels) {
    int32_t words[9] = {0x1234, 0xFFFF, 0x10000, 0, 0, 0, 0, 0, 0xABCD};
    DumpValues(view, words, 9, 8, 4, 0xFFF8, 1);
    const auto& lines = view.Lines(Control::RichEdit2);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], "FFF8: 1234 FFFF 0000 0000 0000 0000 0000 0000 ");
    EXPECT_EQ(lines[1], "0000: ABCD ");
}

TEST_F(DumpTest, AddressIndexedBufferShowsEntriesFromStart) {
    // A buffer indexed by writer address is dumped from its entry `start`;
    // a read-back buffer from its entry 0, under the same labels.
    std::vector<int32_t> firmware(2048, 0xFF);
    firmware[1024] = 0x11;
    std::vector<int32_t> readBack(16, 0x22);
    DumpValues(view, firmware.data() + 0x0400, 1, 16, 2, 0x0400, 0);
    DumpValues(view, readBack.data(), 1, 16, 2, 0x0400, 0);
    EXPECT_EQ(view.Lines(Control::RichEdit1)[0], "0400: 11 ");
    EXPECT_EQ(view.Lines(Control::RichEdit1)[1], "0400: 22 ");
}
