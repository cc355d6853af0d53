// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "operations/edit_list.h"
#include "record/blocks.h"
#include "record/peak_file.h"
#include "record/raw_file.h"

#include <array>
#include <cstdint>
#include <vector>

// Everything the editing engine shares with the editor window, playback and export: the
// editing state, the undo history, the edit and clip files and the buffers the operations work
// in. One instance, `operations::state`; a test resets it by assigning a fresh State.
namespace operations {

struct State {
    // The edited sound at the current level and the user's marks in it (1-based positions).
    uint32_t FileBlocks = 0;
    uint32_t SelStart = 1; // SelStart == SelEnd: nothing selected
    uint32_t SelEnd = 1;
    uint32_t CursorBlock = 1; // Paste and Insert Silence insert after this block

    // Undo history: level CurrentLevel is shown, played and exported; Redo reaches TopLevel.
    std::array<Level, MaxUndoLevel + 1> Levels{};
    uint16_t CurrentLevel = 0;
    uint16_t TopLevel = 0;
    // Set when a new level pushed the oldest one out of a full history; the editor tells the
    // user once (TakeHistoryTrimmed).
    bool HistoryTrimmed = false;

    // Sources. The recording file and its peak tables belong to the recorder; the editor
    // binds them when it opens (StartEditing). The edit and clip files live from the editor's
    // opening to its closing (CreateWorkFiles, DeleteWorkFiles).
    const record::RawFile* RecordingStream = nullptr;
    // Tables indexed by block number from 1, PeakArrayLength + 1 entries each.
    record::PeakTableRefs RecordingPeaks{nullptr, nullptr, nullptr, nullptr};
    record::RawFile EditStream;
    record::RawFile ClipStream;
    uint32_t ClipBlocks = 0; // blocks of the clip file that belong to the clip

    // Block peaks of the edit file, indexed by its block numbers from 1.
    std::vector<int16_t> EditPeakMaxL, EditPeakMinL, EditPeakMaxR, EditPeakMinR;

    // Progress of a long operation; the editor's timer shows it while Running is set.
    float ProgressPercent = 0;
    // True while an operation runs; the editor shows it as busy. Operations let pending
    // messages run between blocks, so a second command could otherwise start in the middle of
    // the first and interleave its blocks in the edit file.
    bool Running = false;

    // Effect parameters, kept between commands.
    double AmplifyFactor = 1.0;
    float NormalizeFactor = 1.0f;
    double FadeStep = 0.0;
    double FadeGain = 0.0;

    // Working buffers, sized once: the source block being read, the block being written, its
    // two channels and its peaks.
    std::array<unsigned char, record::BlockBytes> ReadBuffer{};
    std::array<unsigned char, record::BlockBytes> BlockBuffer{};
    std::array<int16_t, record::BlockFrames> BlockLeft{};
    std::array<int16_t, record::BlockFrames> BlockRight{};
    record::BlockPeaks BlockPeaks{};
    // Copy and Paste move RunBlocks blocks per read and write through this buffer, sized on
    // first use (operation_steps.h, RunBuffer).
    std::vector<unsigned char> RunBuffer;
};

extern State state;

} // namespace operations
