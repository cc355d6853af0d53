// SPDX-License-Identifier: GPL-3.0-or-later
#include "editing_fixture.h"

#include "base/errors.h"

#include <filesystem>

using testsupport::EditingTest;
using testsupport::operator+;
using testsupport::Range;

namespace {

// Blocks in the clip file on disk.
uint32_t ClipFileBlocks(const testsupport::TempDir& dir) {
    return uint32_t(std::filesystem::file_size(dir.file("Clp.raw")) / base::BlockBytes);
}

TEST_F(EditingTest, CopyTakesTheSelectionAndALaterShorterCopyKeepsTheFileLength) {
    E().Copy(); // nothing selected
    EXPECT_EQ(E().ClipBlocks(), 0u);
    EXPECT_EQ(ClipFileBlocks(dir_), 0u);

    Select(5, 14);
    E().Copy();
    EXPECT_EQ(E().ClipBlocks(), 10u);
    EXPECT_EQ(E().UndoLevel(), 0); // no level for a copy
    EXPECT_FLOAT_EQ(E().ProgressPercent(), 100.0f);

    Select(30, 32);
    E().Copy();
    EXPECT_EQ(E().ClipBlocks(), 3u);
    EXPECT_EQ(ClipFileBlocks(dir_), 10u);
}

TEST_F(EditingTest, DeletingTheTailLeavesTheCursorOnePastTheNewEnd) {
    Select(51, 60);
    E().Delete();
    EXPECT_EQ(Sound(), Range(1, 50));
    EXPECT_EQ(E().CurrentSelection().CursorBlock, 51u);
    EXPECT_EQ(E().EditFileBlocks(), 0u); // a deletion writes no sound
}

TEST_F(EditingTest, PasteGoesAfterTheCursorSelectedAndUndoKeepsItsBlocksForRedo) {
    Select(5, 7);
    E().Copy();
    Select(20, 20);
    E().Paste();
    EXPECT_EQ(Sound(), Range(1, 20) + Range(5, 7) + Range(21, 60));
    EXPECT_EQ(E().CurrentSelection().SelStart, 21u);
    EXPECT_EQ(E().CurrentSelection().SelEnd, 23u);
    EXPECT_EQ(E().CurrentSelection().CursorBlock, 20u);
    // Pasted blocks are copied unchanged, with the peaks of what they hold.
    EXPECT_EQ(Sample(22, base::BlockFrames - 1), std::make_pair(int16_t(6), int16_t(4409)));
    const base::BlockPeaks peaks = *E().Peaks(22);
    EXPECT_EQ(std::vector<int>({peaks.maxL, peaks.minL, peaks.maxR, peaks.minR}),
              std::vector<int>({6, 6, 4409, 0}));

    ASSERT_TRUE(E().Undo());
    EXPECT_EQ(Sound(), Range(1, 60));
    EXPECT_EQ(E().CurrentSelection().SelStart, 20u);
    EXPECT_EQ(E().EditFileBlocks(), 3u);
    ASSERT_TRUE(E().Redo());
    EXPECT_EQ(Sound(), Range(1, 20) + Range(5, 7) + Range(21, 60));
}

TEST_F(EditingTest, CutThenPasteWithoutAClickPutsTheSoundBackOneBlockLater) {
    Select(10, 14);
    E().Cut();
    EXPECT_EQ(Sound(), Range(1, 9) + Range(15, 60));
    EXPECT_EQ(E().UndoLevel(), 1);
    E().Paste();
    EXPECT_EQ(Sound(), Range(1, 9) + std::vector<int>{15} + Range(10, 14) + Range(16, 60));
}

TEST_F(EditingTest, PasteOfAnEmptyClipAddsALevelWithTheSameSoundAndNothingSelected) {
    Select(8, 8);
    E().Paste();
    EXPECT_EQ(E().UndoLevel(), 1);
    EXPECT_EQ(Sound(), Range(1, 60));
    EXPECT_EQ(E().CurrentSelection().SelStart, 9u);
    EXPECT_EQ(E().CurrentSelection().SelEnd, 9u);
}

TEST_F(EditingTest, PasteAfterDeletingTheTailOrEverythingAppends) {
    Select(1, 3);
    E().Copy();
    Select(51, 60);
    E().Delete(); // cursor now one past the end
    E().Paste();
    EXPECT_EQ(Sound(), Range(1, 50) + Range(1, 3));
    EXPECT_EQ(E().CurrentSelection().SelStart, 51u);
    EXPECT_EQ(E().CurrentSelection().SelEnd, 53u);

    Select(1, 53);
    E().Delete();
    EXPECT_EQ(E().Blocks(), 0u);
    EXPECT_EQ(E().CurrentList().SegmentCount, 0);
    E().Paste();
    EXPECT_EQ(Sound(), Range(1, 3));
}

// Copy and Paste write RunBlocks blocks at a time, so these sounds are longer than one run and
// the disk fills after the first run has landed.
static_assert(operations::RunBlocks < 100);

TEST_F(EditingTest, AFullDiskDuringPasteAddsNoLevelAndTheNextPasteIsWhole) {
    Select(1, 60);
    E().Copy();
    E().PlaceCursor(60);
    E().Paste();
    Select(1, 100);
    E().Copy();
    const std::vector<int> clip = Range(1, 60) + Range(1, 40);
    int writes = 0;
    FailWritesWhen([&](const std::string& path, int64_t) {
        return path == dir_.file("Edit.raw") && ++writes == 2;
    });
    Select(30, 30);
    EXPECT_THROW(E().Paste(), base::StreamWriteError);
    EXPECT_EQ(E().UndoLevel(), 1);
    EXPECT_EQ(Sound(), Range(1, 60) + Range(1, 60));
    EXPECT_FALSE(E().Running());

    E().Paste();
    EXPECT_EQ(Sound(), Range(1, 30) + clip + Range(31, 60) + Range(1, 60));
    // The run that landed before the disk filled stays in the edit file, unreferenced.
    EXPECT_EQ(operations::Locate(E().CurrentList(), 31)->block, 60u + operations::RunBlocks + 1);
}

TEST_F(EditingTest, AFullDiskDuringCopyEmptiesTheHalfOverwrittenClip) {
    Select(1, 60);
    E().Copy();
    E().PlaceCursor(60);
    E().Paste();
    const std::vector<int> sound = Sound();
    FailWritesWhen([&](const std::string& path, int64_t offset) {
        return path == dir_.file("Clp.raw") && offset > 0;
    });
    Select(11, 120);
    EXPECT_THROW(E().Copy(), base::StreamWriteError);
    EXPECT_EQ(E().ClipBlocks(), 0u);
    files_.writeFault = nullptr;
    E().Paste(); // pastes nothing rather than a mixture of two copies
    EXPECT_EQ(Sound(), sound);
}

TEST_F(EditingTest, ACommandChosenWhileAnOperationRunsDoesNothing) {
    Select(1, 10);
    E().Copy();
    Select(40, 40);
    std::vector<float> progress;
    pump_.onPump = [&] {
        progress.push_back(E().ProgressPercent());
        // What a click on the toolbar would run in the middle of the paste.
        E().Delete();
        E().InsertSilence(3);
        E().Paste();
        EXPECT_FALSE(E().Undo());
    };
    E().Paste();
    pump_.onPump = nullptr;
    EXPECT_EQ(Sound(), Range(1, 40) + Range(1, 10) + Range(41, 60));
    EXPECT_EQ(E().UndoLevel(), 1);
    EXPECT_EQ(E().EditFileBlocks(), 10u);
    ASSERT_EQ(progress.size(), 10u);
    EXPECT_FLOAT_EQ(progress.front(), 10.0f);
    EXPECT_FLOAT_EQ(progress.back(), 100.0f);
}

} // namespace
