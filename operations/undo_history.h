// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "operations/edit_list.h"
#include "operations/sound_source.h"
#include "record/blocks.h"
#include "record/peak_file.h"
#include "record/raw_file.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

// The undo history over the edit list and the reads through its current level. Undo and Redo
// copy no sound: they move between levels and restore FileBlocks and the selection. None of
// these functions stops playback; the editor does that before every command.
namespace operations {

// Lays out a stopped recording as level 0 and resets the history, the selection (nothing
// selected) and the cursor (1). A wrapped loop (loopMode and newestBlock < fileBlocks) becomes
// two segments so that its oldest block, newestBlock + 1, plays first. `recording` and the peak
// tables stay the recorder's; they must outlive the editing session.
void StartEditing(const record::RawFile& recording, const record::PeakTableRefs& recordingPeaks,
                  uint32_t fileBlocks, uint32_t newestBlock, bool loopMode);

// Creates the edit file and the clip file empty and empties the clip and the edit-file peaks.
// Throws record::FileOpenError.
void CreateWorkFiles(const std::string& editPath, const std::string& clipPath);
// Closes the edit and clip files and deletes them; harmless when they are not open.
void DeleteWorkFiles();

const Level& CurrentLevel();

// The source block of a position of the edited sound, or nullopt outside 1..FileBlocks.
std::optional<SourceBlock> LookupPosition(uint32_t position);
// Reads the block at `position` into buf (BlockBytes bytes); returns the bytes read, 0 for a
// position in no segment. A short read leaves the rest of buf as it was.
size_t ReadPosition(uint32_t position, void* buf);
// Reads the blocks at `position` and after, as many as continue in the same source file and at
// most `count`, with one read into buf (count * BlockBytes bytes). A short read leaves the rest
// of buf as it was.
PositionsRead ReadPositions(uint32_t position, uint32_t count, void* buf);
// The block peaks of the block at `position`, or nullopt for a position in no segment.
std::optional<record::BlockPeaks> LookupPeaks(uint32_t position);

// Undo: back one level, restoring the selection the undone operation was made on. Redo: up one
// level, to the selection the operation left. Each returns false (and changes nothing) at the
// end of the history or while another operation runs.
bool Undo();
bool Redo();

// The text the editor shows once HistoryTrimmed is set.
extern const char* const HistoryTrimmedText;
// True once after a level was pushed out of a full history: clears HistoryTrimmed.
bool TakeHistoryTrimmed();

// For the operations: publishes `built` (a complete list with FileBlocks) as the level above
// the current one with the selection it leaves, after saving the selection the operation was
// made on in the current level. Levels above can no longer be redone. When the history is full
// the oldest level is dropped and HistoryTrimmed set.
void PushLevel(const Level& built, uint32_t selStart, uint32_t selEnd);

// For the operations: marks an operation as running for its scope; `started` is false when
// another one already runs, and the new one must then do nothing.
class OperationScope {
  public:
    OperationScope();
    ~OperationScope();
    OperationScope(const OperationScope&) = delete;
    OperationScope& operator=(const OperationScope&) = delete;
    bool started() const { return started_; }

  private:
    bool started_;
};

// Grows the four edit-file peak tables to `entries`, keeping their contents.
void GrowEditPeaks(uint32_t entries);
// Stores state.BlockPeaks as entry `block` of the edit-file peak tables.
void StoreEditPeaks(uint32_t block);

} // namespace operations
