// The selected body: a configured one (below BodyCount) for the operations on
// the IC, any listed item's table row for Load and the image addresses.
#include "OperationFixture.h"
#include "config/WriterIni.h"

namespace otp::test {
namespace {

class SelectedBodyTest : public OperationTest {};

TEST_F(SelectedBodyTest, ASecondBodySectionLeavesItemsPastTheConfiguredBodies) {
    MakeSession("IC_BODY_START\nBODY A\nBODY B\nIC_BODY_START\nBODY C\nIC_BODY_END\n");
    ASSERT_TRUE(ReadWriterIni(state(), view, dir.path()));
    ASSERT_EQ(state().BodyCount, 1);
    struct Row { int selection; std::optional<int> body, tableRow; };
    const Row rows[] = {{-1, {}, {}}, {0, 0, 0}, {1, {}, 1}, {2, {}, 2}};
    for (const Row& r : rows) {
        view.SetSelection(Control::ComboBox1, r.selection);
        EXPECT_EQ(SelectedBody(ctx()), r.body) << r.selection;
        EXPECT_EQ(SelectedTableRow(ctx()), r.tableRow) << r.selection;
    }
}

}  // namespace
}  // namespace otp::test
