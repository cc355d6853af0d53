// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>

// Steps the editing operations share. They work on operations::state.
namespace operations {

struct Level;

// True when a range of at least two blocks inside the sound is selected. SelStart == SelEnd
// means nothing is selected; a reversed or overlong selection is treated the same way.
bool HasSelection();

// Splits a block of interleaved frames into state.BlockLeft and state.BlockRight.
void SplitChannels(const unsigned char* block);
// The peaks of state.BlockLeft and state.BlockRight into state.BlockPeaks, with the start
// values of the recorder's block measurement: maxL -32767, maxR -32768, minimums 32767.
void ComputeBlockPeaks();

// Blocks Copy and Paste move per read and write (about 1 MB). One 17640-byte write per block
// costs the file system more than twice as much: each one starts and ends inside a page.
constexpr uint32_t RunBlocks = 60;
// state.RunBuffer, sized to RunBlocks blocks the first time.
unsigned char* RunBuffer();

// Publishes done * 100 / total as ProgressPercent and lets pending messages run.
void ReportProgress(uint32_t done, uint32_t total);

// First step of Paste and Insert Silence: the list that puts a run of `blocks` new edit-file
// blocks after CursorBlock into `built` (where the run starts in `runStart`), and the edit peak
// tables grown for it. Returns the edit file's block count before the run. Throws, with nothing
// written, when the list would not fit.
uint32_t PrepareInsertion(uint32_t blocks, Level& built, uint32_t& runStart);

// Raised when a new list would need more segments than a level holds, before anything is
// written.
[[noreturn]] void ThrowTooManySegments();

} // namespace operations
