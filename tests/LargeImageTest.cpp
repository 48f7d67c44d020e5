// The largest images the writer holds, through the whole chain on the test
// clock: a load streams faster than the line carries, so every wait after
// it must start when the line has caught up.
#include <gtest/gtest.h>

#include <string>

#include "LargeImage.h"
#include "CliSupport.h"
#include "RomFixture.h"
#include "emulator/IcAccess.h"
#include "operations/ProductionOps.h"
#include "operations/ReadOtp.h"
#include "romfile/LoadRomFile.h"

using namespace otp;

class LargeImageTest : public test::RomOperationTest {};

TEST_F(LargeImageTest, TheLargestImagesLoadProgramAndReadBack) {
    const struct {
        const char* body;
        int index;
        bool byteMode;
        int values;
    } cases[] = {{"BIGB", 0, true, 8192}, {"BIGW", 1, false, test::kLargestWordImage}};
    StartWith(test::LargeImageIni());
    for (const auto& c : cases) {
        SCOPED_TRACE(c.body);
        dir.Write("big.rom", test::LargeImageRom(c.body, c.byteMode, c.values));
        form.openFiles.push_back(dir.file("big.rom"));
        ASSERT_EQ(LoadROMFile1Click(ctx()), Outcome::Done) << ::testing::PrintToString(Pane(Control::RichEdit2));
        emu::PutInSocket(*writer, emu::IcKind::Blank);
        EXPECT_EQ(Button1Click(ctx()), Outcome::Done);
        EXPECT_EQ(Button6Click(ctx()), Outcome::Done);
        const int bytes = c.values * (c.byteMode ? 1 : 2);
        EXPECT_TRUE(test::Contains(Pane(Control::RichEdit2), "Receiver Data Length = " + std::to_string(bytes) + " bytes"));
    }
}
