// What Save ROM File writes, Load ROM File reads back: option bytes 0-7,
// every image value (an incomplete last row included) and the body.
#include <gtest/gtest.h>

#include "RomFixture.h"
#include "romfile/LoadRomFile.h"
#include "romfile/SaveRomFile.h"

using namespace otp;

class RomRoundTripTest : public test::RomOperationTest,
                         public ::testing::WithParamInterface<std::tuple<int, int>> {};

TEST_P(RomRoundTripTest, SaveThenLoadReproducesTheState) {
    const auto [body, option0] = GetParam();
    StartWith(GoldenIni());
    SelectBody(body);
    const int length = BodyObjectLength(state().BodyInfo[0]);
    const bool words = !IsByteMode(state().BodyInfo[0]);
    SetOptionBytes({option0, 0x81, 0x7E, 0x00, 0xFF, 0x10, 0x20, 0x30, 0x99, 0x99});
    for (int i = 0; i < length; ++i)
        state().RomImage[static_cast<size_t>(i)] = (i * 7919 + 13) & (words ? 0xFFFF : 0xFF);
    const auto options = state().OptionBytes;
    const auto image = state().RomImage;

    form.saveFiles.push_back(dir.file("trip.rom"));
    ASSERT_EQ(SaveROMFile1Click(ctx()), Outcome::Done);

    // Everything the load must bring back is changed first.
    for (int i = 0; i < length; ++i) state().RomImage[static_cast<size_t>(i)] = 0x5A;
    state().OptionBytes.fill(0xA5);
    view.SetSelection(Control::ComboBox1, (body + 1) % 4);
    SetLayout(state(), words);

    form.openFiles.push_back(dir.file("trip.rom"));
    EXPECT_EQ(LoadROMFile1Click(ctx()), Outcome::Done);
    EXPECT_EQ(form.Selector(Control::ComboBox1).selection, body);
    for (size_t i = 0; i < 8; ++i) EXPECT_EQ(state().OptionBytes[i], options[i]) << i;
    for (size_t i = 8; i < 16; ++i) EXPECT_EQ(state().OptionBytes[i], 0) << i;
    for (int i = 0; i < length; ++i)
        ASSERT_EQ(state().RomImage[static_cast<size_t>(i)], image[static_cast<size_t>(i)]) << i;
    EXPECT_EQ(state().ObjectLength, length);
    EXPECT_EQ(state().ValueDigits, words ? 4 : 2);
    EXPECT_TRUE(TraceOf("ShowErrorBox").empty());
}

// Bodies BYTE32, WORD20 (20 words: a last row of four), RX4400, RX4720;
// option byte 0 with the lock bit, and in the "@" address form.
INSTANTIATE_TEST_SUITE_P(EveryGoldenBody, RomRoundTripTest,
                         ::testing::Combine(::testing::Values(0, 1, 2, 3), ::testing::Values(0x01, 0x10)));
