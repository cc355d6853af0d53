// SPDX-License-Identifier: GPL-3.0-or-later
#include "editing_fixture.h"

#include "operations/clipboard.h"
#include "operations/insert_silence.h"

using operations::state;
using testsupport::EditingTest;
using testsupport::operator+;
using testsupport::Range;

namespace {

struct LayoutCase {
    const char* name;
    uint32_t newestBlock;
    bool loopMode;
    std::vector<int> expected;
};

class OpeningLayout : public EditingTest, public ::testing::WithParamInterface<LayoutCase> {};

TEST_P(OpeningLayout, PlaysTheRecordingInTimeOrder) {
    Open(RecordingBlocks, GetParam().newestBlock, GetParam().loopMode);
    EXPECT_EQ(state.FileBlocks, RecordingBlocks);
    EXPECT_EQ(Sound(), GetParam().expected);
    EXPECT_EQ(operations::CurrentLevel().SegmentCount, GetParam().expected[0] == 1 ? 1 : 2);
    EXPECT_EQ(state.SelStart, 1u);
    EXPECT_EQ(state.SelEnd, 1u);
    EXPECT_EQ(state.CursorBlock, 1u);
}

std::ostream& operator<<(std::ostream& os, const LayoutCase& c) {
    return os << c.name;
}

INSTANTIATE_TEST_SUITE_P(UndoHistory, OpeningLayout,
                         ::testing::Values(LayoutCase{"Continuous", 25, false, Range(1, 60)},
                                           LayoutCase{"LoopNotWrapped", 60, true, Range(1, 60)},
                                           LayoutCase{"WrappedLoopOldestFirst", 25, true,
                                                      Range(26, 60) + Range(1, 25)}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(EditingTest, UndoReturnsToTheSelectionTheOperationWorkedOnAndRedoToTheOneItLeft) {
    Select(11, 20);
    operations::Delete();
    EXPECT_EQ(Sound(), Range(1, 10) + Range(21, 60));
    EXPECT_EQ(state.CursorBlock, 11u);

    ASSERT_TRUE(operations::Undo());
    EXPECT_EQ(Sound(), Range(1, 60));
    EXPECT_EQ(state.SelStart, 11u);
    EXPECT_EQ(state.SelEnd, 20u);

    ASSERT_TRUE(operations::Redo());
    EXPECT_EQ(state.FileBlocks, 50u);
    EXPECT_EQ(state.SelStart, 1u);
    EXPECT_EQ(state.SelEnd, 1u);
}

TEST_F(EditingTest, UndoAtLevelZeroAndRedoAtTheTopAreIgnored) {
    EXPECT_FALSE(operations::Undo());
    EXPECT_FALSE(operations::Redo());
    Select(1, 5);
    operations::Delete();
    EXPECT_FALSE(operations::Redo());
    EXPECT_EQ(state.CurrentLevel, 1);
}

TEST_F(EditingTest, ANewOperationAfterUndoingBecomesTheTop) {
    Select(1, 5);
    operations::Delete();
    Select(1, 5);
    operations::Delete();
    ASSERT_TRUE(operations::Undo());
    ASSERT_TRUE(operations::Undo());
    operations::InsertSilence(2);
    EXPECT_EQ(state.TopLevel, 1);
    EXPECT_FALSE(operations::Redo());
    EXPECT_EQ(Sound(), (std::vector<int>{1, 0, 0} + Range(2, 60)));
}

TEST_F(EditingTest, AFullHistoryDropsItsOldestLevelAndSaysSo) {
    // Each insertion puts one silent block after position 1.
    for (int i = 0; i < operations::MaxUndoLevel; ++i) {
        operations::InsertSilence(1);
    }
    EXPECT_EQ(state.CurrentLevel, operations::MaxUndoLevel);
    EXPECT_FALSE(state.HistoryTrimmed);

    Select(1, 1);
    operations::InsertSilence(1);
    EXPECT_TRUE(state.HistoryTrimmed);
    EXPECT_EQ(state.CurrentLevel, operations::MaxUndoLevel);
    EXPECT_EQ(state.FileBlocks, RecordingBlocks + 51);

    int undone = 0;
    while (operations::Undo()) {
        ++undone;
    }
    EXPECT_EQ(undone, operations::MaxUndoLevel);
    // The oldest reachable sound is the one after the first insertion.
    EXPECT_EQ(Sound(), (std::vector<int>{1, 0} + Range(2, 60)));
}

} // namespace
