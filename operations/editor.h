// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "base/blocks.h"
#include "base/peak_file.h"
#include "base/raw_file.h"
#include "operations/edit_list.h"
#include "operations/editing_state.h"
#include "operations/selection.h"
#include "operations/sound_source.h"

#include <cstdint>
#include <optional>
#include <string>

namespace base {
class EventPump;
class FileSystem;
} // namespace base
namespace record {
class Recorder;
}

namespace operations {

// The take an editor edits: the recorder's file and peak tables (indexed by block number from 1,
// PeakArrayLength + 1 entries each), its length and its order. They stay the recorder's and must
// outlive the editor.
struct TakeView {
    const base::RawFile& file;
    base::PeakTableRefs peaks;
    uint32_t blocks = 0;
    uint32_t newestBlock = 0;
    // A loop that went round: its oldest block, newestBlock + 1, plays first.
    bool wrapped = false;
};

// The take `recorder` holds, as an editor opens it. Level 0 follows the take's real order: a ring
// that wrapped starts after its newest block, whatever mode is chosen now.
TakeView TakeOf(record::Recorder& recorder);

// Where an editor keeps the blocks it makes (the edit file) and the clip (the clip file).
struct WorkPaths {
    std::string edit;
    std::string clip;
};

// The text the editor window shows once the history has dropped its oldest level.
extern const char* const HistoryTrimmedText;

// One editing session over one take: the edit list with its undo history, the edit and clip
// files, the selection and the effect parameters. It serves the edited sound (the current undo
// level) to the player and the exporter as their SoundSource.
//
// Every command works on the selection the window last passed in (Select, PlaceCursor) and
// leaves the new one to be read back (CurrentSelection). Commands let pending messages run
// between blocks through the editor's pump; a command asked for while another one runs, or
// while a reader holds the sound still (HoldStill), does nothing. A failing write throws
// base::StreamWriteError and publishes no undo level. None of them stops playback: the window
// does that before every command.
class Editor final : public SoundSource {
  public:
    // Lays out the take as level 0 (nothing selected, the cursor at 1) and creates the edit and
    // clip files empty; their writes ask `fileSystem` first. Throws base::FileOpenError, with
    // nothing left behind, when a work file cannot be created.
    Editor(const TakeView& take, const WorkPaths& paths, const base::FileSystem& fileSystem,
           base::EventPump& pump);
    // Closes and deletes the edit and clip files.
    ~Editor() override;
    Editor(const Editor&) = delete;
    Editor& operator=(const Editor&) = delete;

    // The sound at the current level.
    uint32_t Blocks() const override { return state_.FileBlocks; }
    size_t ReadPosition(uint32_t position, void* buf) const override;
    PositionsRead ReadPositions(uint32_t position, uint32_t count, void* buf) const override;
    PositionsPlace PlacePositions(uint32_t position, uint32_t count) const override;
    std::optional<base::BlockPeaks> Peaks(uint32_t position) const override;
    void HoldStill() const override;
    void ReleaseHold() const override;

    // The selection and the cursor, as the window passes them in and reads them back.
    const Selection& CurrentSelection() const { return selection_; }
    void Select(const Selection& selection) { selection_ = selection; }
    // The whole sound; nothing for an empty one. The cursor stays.
    void SelectAll();
    void PlaceCursor(uint32_t block) { selection_.CursorBlock = block; }
    // True when a range of at least two blocks inside the sound is selected; a reversed or
    // overlong selection counts as none.
    bool HasSelection() const;

    // Copies the selected blocks to the start of the clip file. Nothing selected: nothing
    // happens. When the copy fails midway the clip is emptied, since its first blocks are
    // already overwritten.
    void Copy();
    // A level without the selected blocks; nothing is left selected and the cursor stands on
    // the block that followed them.
    void Delete();
    // Copy, then Delete.
    void Cut();
    // Appends the clip to the edit file and makes a level with it inserted after the block at
    // the cursor (at the end when the cursor lies past it). The pasted blocks are left selected.
    void Paste();
    // The effects read the selected blocks, append the processed ones with their peaks and make
    // a level that plays them in place of the selection; the length and the selection stay.
    // Results are rounded to nearest (halves to even) and limited to -32768..32767, so an
    // amplification past full scale clips instead of jumping to the opposite sign.
    // Linear fades over the whole selection, one gain step per frame: a fade in gives the first
    // frame one step and the last frame 1; a fade out gives the first 1 - step and the last
    // about 0.
    void FadeIn();
    void FadeOut();
    // Multiplies by percent / 100; 100 does nothing.
    void Amplify(int percent);
    // Brings the largest magnitude of the selection to 32767, taken from the block peaks.
    void Normalize();
    // Appends `blocks` blocks of digital silence and makes a level with them inserted after the
    // cursor's block (at the end when the cursor lies past it), the silence selected and the
    // cursor unchanged. Fewer than one block: nothing happens.
    void InsertSilence(int32_t blocks);
    // Undo: back one level, restoring the selection the undone operation was made on. Redo: up
    // one level, to the selection the operation left. Each returns false (and changes nothing)
    // at the end of the history or while another operation runs. They copy no sound.
    bool Undo();
    bool Redo();

    // 32767 / the largest magnitude in the selection's block peaks (1 for a selection reaching
    // -32768, 32767 for silence). Reads no sound.
    float SelectionNormalizeFactor() const;
    // The amplification in percent that brings the selection to full scale, for the Amplify
    // prompt.
    int ClippingLevel() const;

    // True once after a level was pushed out of a full history (HistoryTrimmedText).
    bool TakeHistoryTrimmed();
    // An operation runs, or a reader holds the sound still.
    bool Running() const { return running_; }
    // Of the running operation, 0..100.
    float ProgressPercent() const { return state_.ProgressPercent; }

    // The edit list at the current level, and where the history stands.
    const Level& CurrentList() const { return state_.Levels[state_.CurrentLevel]; }
    uint16_t UndoLevel() const { return state_.CurrentLevel; }
    uint16_t TopLevel() const { return state_.TopLevel; }
    // Blocks of the clip file that belong to the clip.
    uint32_t ClipBlocks() const { return state_.ClipBlocks; }
    // Blocks in the edit file.
    uint32_t EditFileBlocks() const { return state_.EditStream.Blocks(); }

  private:
    friend struct EditorProbe; // tests set up edit lists that take a hundred edits to reach

    // Marks an operation as running for its scope; `started` is false when another one already
    // runs (or a reader holds the sound), and the new one must then do nothing.
    class OperationScope {
      public:
        explicit OperationScope(bool& running) : running_(running), started_(!running) {
            running_ = true;
        }
        ~OperationScope() {
            if (started_) {
                running_ = false;
            }
        }
        OperationScope(const OperationScope&) = delete;
        OperationScope& operator=(const OperationScope&) = delete;
        bool started() const { return started_; }

      private:
        bool& running_;
        bool started_;
    };
    enum class Effect { FadeIn, FadeOut, Amplify, Normalize };

    std::optional<SourceBlock> LookupPosition(uint32_t position) const;
    void DeleteWorkFiles();
    // Publishes `built` (a complete list with FileBlocks) as the level above the current one
    // with the selection it leaves, after saving the selection the operation was made on in the
    // current level. Levels above can no longer be redone. When the history is full the oldest
    // level is dropped and HistoryTrimmed set.
    void PushLevel(const Level& built, uint32_t selStart, uint32_t selEnd);
    void Restore(const Level& level);
    // Grows the four edit-file peak tables to `entries`, keeping their contents.
    void GrowEditPeaks(uint32_t entries);
    // Stores state_.BlockPeaks as entry `block` of the edit-file peak tables.
    void StoreEditPeaks(uint32_t block);
    // Splits a block of interleaved frames into BlockLeft and BlockRight.
    void SplitChannels(const unsigned char* block);
    // The peaks of BlockLeft and BlockRight into BlockPeaks, with the start values of the
    // recorder's block measurement: maxL -32767, maxR -32768, minimums 32767.
    void ComputeBlockPeaks();
    // RunBuffer, sized to RunBlocks blocks the first time.
    unsigned char* RunBuffer();
    // Publishes done * 100 / total as ProgressPercent and lets pending messages run.
    void ReportProgress(uint32_t done, uint32_t total);
    // First step of Paste and Insert Silence: the list that puts a run of `blocks` new edit-file
    // blocks after the cursor into `built` (where the run starts in `runStart`), and the edit
    // peak tables grown for it. Returns the edit file's block count before the run. Throws,
    // with nothing written, when the list would not fit.
    uint32_t PrepareInsertion(uint32_t blocks, Level& built, uint32_t& runStart);
    void CopySelection();
    void DeleteSelection();
    // Applies `effect` to a run of `blocks` blocks in `buffer`, in place; the fades' gain moves on
    // frame by frame from run to run.
    void ProcessRun(Effect effect, unsigned char* buffer, uint32_t blocks);
    void RunEffect(Effect effect);
    void StartFade(double gain);

    base::EventPump& pump_;
    State state_;
    Selection selection_;
    // Set by an operation for its run and by a reader that holds the sound still, which reads
    // through the const sound: hence mutable.
    mutable bool running_ = false;
};

// Blocks Copy and Paste move per read and write (about 1 MB). One 17640-byte write per block
// costs the file system more than twice as much: each one starts and ends inside a page.
constexpr uint32_t RunBlocks = 60;

// Raised when a new list would need more segments than a level holds, before anything is
// written.
[[noreturn]] void ThrowTooManySegments();

} // namespace operations
