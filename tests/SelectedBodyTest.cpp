// The selected body: a configured one (below BodyCount) whose row gives an
// image length and whose waits are allowed, for the operations on the IC; any listed item's table row
// for Load and the image addresses.
#include "OperationFixture.h"
#include "config/WriterIni.h"

namespace otp::test {
namespace {

class SelectedBodyTest : public OperationTest {};

TEST_F(SelectedBodyTest, OnlyAConfiguredBodyWithAnImageLengthIsSelected) {
    // A second body section restarts BodyCount but keeps the items and rows
    // of the first: items past the configured bodies.
    const std::string twoSections =
        "IC_BODY_START\nBODY A\nINFO $A5,0,0,0,$80,16\nBODY B\nINFO $A5,1,0,0,$80,16\n"
        "IC_BODY_START\nBODY C\nINFO $A5,2,0,0,$80,16\nIC_BODY_END\n";
    // Rows of Writer.ini with and without an image length (bytes 5-6).
    const std::string lengths =
        "IC_BODY_START\nBODY FULL\nINFO $A5,0,0,0,$80,0,4,0,0,0,0,0,0,0,0,0\nBODY SHORT\nINFO $A5,1,0,0,$80,0,1\n"
        "BODY THREE\nINFO $A5,2,0\nBODY ZEROS\nINFO $A5,3,0,0,$80,0,0,0,0,0,0,0,0,0,0,0\nBODY NONE\nIC_BODY_END\n";
    // Waits over 30000 ticks (5 minutes); 4294967295 is read as -1.
    const std::string waits =
        "IC_BODY_START\nBODY LONG\nINFO $A5,0,0,0,$80,0,4\nBNK_DLY 99999999\nBODY NEGATIVE\nINFO $A5,1,0,0,$80,0,4\n"
        "CPY_DLY 4294967295\nBODY JUST\nINFO $A5,2,0,0,$80,0,4\nVER_DLY 30000\nPRG_DLY 30001\nIC_BODY_END\n";
    struct Row { const std::string& ini; int selection; std::optional<int> body, tableRow; };
    const Row rows[] = {
        {twoSections, -1, {}, {}}, {twoSections, 0, 0, 0}, {twoSections, 1, {}, 1}, {twoSections, 2, {}, 2},
        {lengths, 0, 0, 0},        {lengths, 1, 1, 1},     {lengths, 2, {}, 2},     {lengths, 3, {}, 3},
        {lengths, 4, {}, 4},       {waits, 0, {}, 0},      {waits, 1, {}, 1},      {waits, 2, {}, 2},
    };
    for (const Row& r : rows) {
        MakeSession(r.ini);
        view.ClearChoices(Control::ComboBox1);
        ASSERT_TRUE(ReadWriterIni(state(), view, dir.path()));
        view.SetSelection(Control::ComboBox1, r.selection);
        EXPECT_EQ(SelectedBody(ctx()), r.body) << r.ini << r.selection;
        EXPECT_EQ(SelectedTableRow(ctx()), r.tableRow) << r.ini << r.selection;
    }
}

}  // namespace
}  // namespace otp::test
