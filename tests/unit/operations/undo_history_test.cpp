// SPDX-License-Identifier: GPL-3.0-or-later
#include "editing_fixture.h"

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
    EXPECT_EQ(E().Blocks(), RecordingBlocks);
    EXPECT_EQ(Sound(), GetParam().expected);
    EXPECT_EQ(E().CurrentList().SegmentCount, GetParam().expected[0] == 1 ? 1 : 2);
    EXPECT_EQ(E().CurrentSelection().SelStart, 1u);
    EXPECT_EQ(E().CurrentSelection().SelEnd, 1u);
    EXPECT_EQ(E().CurrentSelection().CursorBlock, 1u);
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
    E().Delete();
    EXPECT_EQ(Sound(), Range(1, 10) + Range(21, 60));
    EXPECT_EQ(E().CurrentSelection().CursorBlock, 11u);

    ASSERT_TRUE(E().Undo());
    EXPECT_EQ(Sound(), Range(1, 60));
    EXPECT_EQ(E().CurrentSelection().SelStart, 11u);
    EXPECT_EQ(E().CurrentSelection().SelEnd, 20u);

    ASSERT_TRUE(E().Redo());
    EXPECT_EQ(E().Blocks(), 50u);
    EXPECT_EQ(E().CurrentSelection().SelStart, 1u);
    EXPECT_EQ(E().CurrentSelection().SelEnd, 1u);
}

TEST_F(EditingTest, UndoAtLevelZeroAndRedoAtTheTopAreIgnored) {
    EXPECT_FALSE(E().Undo());
    EXPECT_FALSE(E().Redo());
    Select(1, 5);
    E().Delete();
    EXPECT_FALSE(E().Redo());
    EXPECT_EQ(E().UndoLevel(), 1);
}

TEST_F(EditingTest, ANewOperationAfterUndoingBecomesTheTop) {
    Select(1, 5);
    E().Delete();
    Select(1, 5);
    E().Delete();
    ASSERT_TRUE(E().Undo());
    ASSERT_TRUE(E().Undo());
    E().InsertSilence(2);
    EXPECT_EQ(E().TopLevel(), 1);
    EXPECT_FALSE(E().Redo());
    EXPECT_EQ(Sound(), (std::vector<int>{1, 0, 0} + Range(2, 60)));
}

TEST_F(EditingTest, AFullHistoryDropsItsOldestLevelAndSaysSo) {
    // Each insertion puts one silent block after position 1.
    for (int i = 0; i < operations::MaxUndoLevel; ++i) {
        E().InsertSilence(1);
    }
    EXPECT_EQ(E().UndoLevel(), operations::MaxUndoLevel);
    EXPECT_FALSE(E().TakeHistoryTrimmed());

    Select(1, 1);
    E().InsertSilence(1);
    EXPECT_TRUE(E().TakeHistoryTrimmed());
    EXPECT_FALSE(E().TakeHistoryTrimmed()) << "said once";
    EXPECT_EQ(E().UndoLevel(), operations::MaxUndoLevel);
    EXPECT_EQ(E().Blocks(), RecordingBlocks + 51);

    int undone = 0;
    while (E().Undo()) {
        ++undone;
    }
    EXPECT_EQ(undone, operations::MaxUndoLevel);
    // The oldest reachable sound is the one after the first insertion.
    EXPECT_EQ(Sound(), (std::vector<int>{1, 0} + Range(2, 60)));
}

} // namespace
