// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "base/blocks.h"
#include "base/peak_file.h"
#include "base/raw_file.h"
#include "operations/edit_list.h"

#include <array>
#include <cstdint>
#include <vector>

// What one editing session keeps: the undo history, the edit and clip files and the buffers the
// operations work in. Held by operations::Editor, one per session; nothing else reads it.
namespace operations {

struct State {
    // Blocks of the edited sound at the current level.
    uint32_t FileBlocks = 0;

    // Undo history: level CurrentLevel is shown, played and exported; Redo reaches TopLevel.
    std::array<Level, MaxUndoLevel + 1> Levels{};
    uint16_t CurrentLevel = 0;
    uint16_t TopLevel = 0;
    // Set when a new level pushed the oldest one out of a full history; the editor tells the
    // user once (TakeHistoryTrimmed).
    bool HistoryTrimmed = false;

    // Sources. The recording file and its peak tables belong to the recorder. The edit and clip
    // files live as long as the editor.
    const base::RawFile* RecordingStream = nullptr;
    // Tables indexed by block number from 1, PeakArrayLength + 1 entries each.
    base::PeakTableRefs RecordingPeaks{nullptr, nullptr, nullptr, nullptr};
    base::RawFile EditStream;
    base::RawFile ClipStream;
    uint32_t ClipBlocks = 0; // blocks of the clip file that belong to the clip

    // Block peaks of the edit file, indexed by its block numbers from 1.
    std::vector<int16_t> EditPeakMaxL, EditPeakMinL, EditPeakMaxR, EditPeakMinR;

    // Progress of a long operation; the editor's timer shows it while one runs.
    float ProgressPercent = 0;

    // Effect parameters, kept between commands.
    double AmplifyFactor = 1.0;
    float NormalizeFactor = 1.0f;
    double FadeStep = 0.0;
    double FadeGain = 0.0;  // the gain a fade starts from
    uint64_t FadeFrame = 0; // frames of the running fade done

    // Working buffers, sized once: the block being written, its two channels and its peaks.
    std::array<unsigned char, base::BlockBytes> BlockBuffer{};
    std::array<int16_t, base::BlockFrames> BlockLeft{};
    std::array<int16_t, base::BlockFrames> BlockRight{};
    base::BlockPeaks BlockPeaks{};
    // Copy and Paste move RunBlocks blocks per read and write through this buffer, sized on
    // first use (Editor::RunBuffer).
    std::vector<unsigned char> RunBuffer;
};

} // namespace operations
