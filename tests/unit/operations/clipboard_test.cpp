// SPDX-License-Identifier: GPL-3.0-or-later
#include "editing_fixture.h"

#include "operations/clipboard.h"
#include "operations/insert_silence.h"
#include "operations/operation_steps.h"
#include "record/errors.h"

using operations::state;
using testsupport::EditingTest;
using testsupport::operator+;
using testsupport::Range;

namespace {

TEST_F(EditingTest, CopyTakesTheSelectionAndALaterShorterCopyKeepsTheFileLength) {
    operations::Copy(); // nothing selected
    EXPECT_EQ(state.ClipBlocks, 0u);
    EXPECT_EQ(state.ClipStream.Blocks(), 0u);

    Select(5, 14);
    operations::Copy();
    EXPECT_EQ(state.ClipBlocks, 10u);
    EXPECT_EQ(state.CurrentLevel, 0); // no level for a copy
    EXPECT_FLOAT_EQ(state.ProgressPercent, 100.0f);

    Select(30, 32);
    operations::Copy();
    EXPECT_EQ(state.ClipBlocks, 3u);
    EXPECT_EQ(state.ClipStream.Blocks(), 10u);
}

TEST_F(EditingTest, DeletingTheTailLeavesTheCursorOnePastTheNewEnd) {
    Select(51, 60);
    operations::Delete();
    EXPECT_EQ(Sound(), Range(1, 50));
    EXPECT_EQ(state.CursorBlock, 51u);
    EXPECT_EQ(state.EditStream.Blocks(), 0u); // a deletion writes no sound
}

TEST_F(EditingTest, PasteGoesAfterTheCursorSelectedAndUndoKeepsItsBlocksForRedo) {
    Select(5, 7);
    operations::Copy();
    Select(20, 20);
    operations::Paste();
    EXPECT_EQ(Sound(), Range(1, 20) + Range(5, 7) + Range(21, 60));
    EXPECT_EQ(state.SelStart, 21u);
    EXPECT_EQ(state.SelEnd, 23u);
    EXPECT_EQ(state.CursorBlock, 20u);
    // Pasted blocks are copied unchanged, with the peaks of what they hold.
    EXPECT_EQ(Sample(22, record::BlockFrames - 1), std::make_pair(int16_t(6), int16_t(4409)));
    const record::BlockPeaks peaks = *operations::LookupPeaks(22);
    EXPECT_EQ(std::vector<int>({peaks.maxL, peaks.minL, peaks.maxR, peaks.minR}),
              std::vector<int>({6, 6, 4409, 0}));

    ASSERT_TRUE(operations::Undo());
    EXPECT_EQ(Sound(), Range(1, 60));
    EXPECT_EQ(state.SelStart, 20u);
    EXPECT_EQ(state.EditStream.Blocks(), 3u);
    ASSERT_TRUE(operations::Redo());
    EXPECT_EQ(Sound(), Range(1, 20) + Range(5, 7) + Range(21, 60));
}

TEST_F(EditingTest, CutThenPasteWithoutAClickPutsTheSoundBackOneBlockLater) {
    Select(10, 14);
    operations::Cut();
    EXPECT_EQ(Sound(), Range(1, 9) + Range(15, 60));
    EXPECT_EQ(state.CurrentLevel, 1);
    operations::Paste();
    EXPECT_EQ(Sound(), Range(1, 9) + std::vector<int>{15} + Range(10, 14) + Range(16, 60));
}

TEST_F(EditingTest, PasteOfAnEmptyClipAddsALevelWithTheSameSoundAndNothingSelected) {
    Select(8, 8);
    operations::Paste();
    EXPECT_EQ(state.CurrentLevel, 1);
    EXPECT_EQ(Sound(), Range(1, 60));
    EXPECT_EQ(state.SelStart, 9u);
    EXPECT_EQ(state.SelEnd, 9u);
}

TEST_F(EditingTest, PasteAfterDeletingTheTailOrEverythingAppends) {
    Select(1, 3);
    operations::Copy();
    Select(51, 60);
    operations::Delete(); // cursor now one past the end
    operations::Paste();
    EXPECT_EQ(Sound(), Range(1, 50) + Range(1, 3));
    EXPECT_EQ(state.SelStart, 51u);
    EXPECT_EQ(state.SelEnd, 53u);

    Select(1, 53);
    operations::Delete();
    EXPECT_EQ(state.FileBlocks, 0u);
    EXPECT_EQ(operations::CurrentLevel().SegmentCount, 0);
    operations::Paste();
    EXPECT_EQ(Sound(), Range(1, 3));
}

// Copy and Paste write RunBlocks blocks at a time, so these sounds are longer than one run and
// the disk fills after the first run has landed.
static_assert(operations::RunBlocks < 100);

TEST_F(EditingTest, AFullDiskDuringPasteAddsNoLevelAndTheNextPasteIsWhole) {
    Select(1, 60);
    operations::Copy();
    state.CursorBlock = 60;
    operations::Paste();
    Select(1, 100);
    operations::Copy();
    const std::vector<int> clip = Range(1, 60) + Range(1, 40);
    int writes = 0;
    FailWritesWhen([&](const std::string& path, int64_t) {
        return path == dir_.file("Edit.raw") && ++writes == 2;
    });
    Select(30, 30);
    EXPECT_THROW(operations::Paste(), record::StreamWriteError);
    EXPECT_EQ(state.CurrentLevel, 1);
    EXPECT_EQ(Sound(), Range(1, 60) + Range(1, 60));
    EXPECT_FALSE(state.Running);

    operations::Paste();
    EXPECT_EQ(Sound(), Range(1, 30) + clip + Range(31, 60) + Range(1, 60));
    // The run that landed before the disk filled stays in the edit file, unreferenced.
    EXPECT_EQ(operations::LookupPosition(31)->block, 60u + operations::RunBlocks + 1);
}

TEST_F(EditingTest, AFullDiskDuringCopyEmptiesTheHalfOverwrittenClip) {
    Select(1, 60);
    operations::Copy();
    state.CursorBlock = 60;
    operations::Paste();
    const std::vector<int> sound = Sound();
    FailWritesWhen([&](const std::string& path, int64_t offset) {
        return path == dir_.file("Clp.raw") && offset > 0;
    });
    Select(11, 120);
    EXPECT_THROW(operations::Copy(), record::StreamWriteError);
    EXPECT_EQ(state.ClipBlocks, 0u);
    files_.writeFault = nullptr;
    operations::Paste(); // pastes nothing rather than a mixture of two copies
    EXPECT_EQ(Sound(), sound);
}

TEST_F(EditingTest, ACommandChosenWhileAnOperationRunsDoesNothing) {
    Select(1, 10);
    operations::Copy();
    Select(40, 40);
    std::vector<float> progress;
    platform::SetProcessMessages([&] {
        progress.push_back(state.ProgressPercent);
        // What a click on the toolbar would run in the middle of the paste.
        operations::Delete();
        operations::InsertSilence(3);
        operations::Paste();
        EXPECT_FALSE(operations::Undo());
    });
    operations::Paste();
    platform::SetProcessMessages(nullptr);
    EXPECT_EQ(Sound(), Range(1, 40) + Range(1, 10) + Range(41, 60));
    EXPECT_EQ(state.CurrentLevel, 1);
    EXPECT_EQ(state.EditStream.Blocks(), 10u);
    ASSERT_EQ(progress.size(), 10u);
    EXPECT_FLOAT_EQ(progress.front(), 10.0f);
    EXPECT_FLOAT_EQ(progress.back(), 100.0f);
}

} // namespace
