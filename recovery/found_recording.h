// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "record/blocks.h"

#include <QString>

#include <cstdint>
#include <string>
#include <vector>

// A raw recording named "test" in the work folder (the recovery file; start-up keeps a take
// left by a crashed run under that name) can be loaded into the editor in place of the current
// take. The program never creates or changes it, and deletes it only when it holds no whole
// block (ShouldOffer): it is opened read-only, and the next recording still goes to Velmar.raw.
// Its block peaks are cached in the peak file Velmar.spv.
//
// The editor's opening calls ShouldOffer and, when it answers true, shows the found-recording
// window, whose Load button calls Load; the editor's closing calls EndRecovery. Everything runs
// on the GUI thread.
namespace recovery {

// The module's state; one instance, recovery::state.
struct State {
    bool Active = false;   // the recovery file is the take being edited, until EndRecovery
    bool Loading = false;  // Load runs; it lets pending messages run, so it can be re-entered
    bool Scanning = false; // the peaks are being computed from the file: progress is worth showing
    float ProgressPercent = 0;  // of the scan: block i of n gives i / n * 100
    bool PeaksFromFile = false; // the last load took its peaks from the peak file
    uint32_t LoadedBlocks = 0;  // blocks of the last load (at most PeakArrayLength)
    uint32_t FoundBlocks = 0;   // whole blocks in the recovery file at the last load (capped)
    std::vector<uint8_t> ScratchBuffer; // the scan's reads; sized by the first scan
};
extern State state;

// True when the editor should offer the recovery file: the mode chosen in the recording-mode
// list is "Continuous" (a loop's take is never replaced) and the work folder holds a file
// "test" of at least one block. A shorter one holds no sound to load: it is deleted, as start-up
// deletes a left-over recording that short, and never offered.
bool ShouldOffer();

struct LoadResult {
    bool loaded = false;
    // The recovery file could not be opened: the text says why and names it. Nothing changed;
    // the current take is still the recording.
    QString error;
    // Set when the file is longer than the peak tables hold and only its first PeakArrayLength
    // blocks were loaded; says so and where the file lies.
    QString notice;
};

// Opens the recovery file read-only and, only once that succeeded, makes it the recording in
// place of the current take (Recorder::AdoptRecording) and lays it out as level 0 of the edit list
// (one segment, blocks 1..LoadedBlocks). Its peaks come from the peak file when that belongs to
// this file (PeakFileBelongsTo) and is valid for its length; otherwise they are computed block
// by block, with ProgressPercent and platform::ProcessMessages() after every block, and the
// peak file is written anew and marked as belonging to it. Does nothing while a load runs.
// Needs record::AllocateBuffers to have run.
LoadResult Load();

// The editor closes: when a recovery file was loaded it is released and Velmar.raw is created
// empty as the recording file again (Recorder::DiscardRecording). Harmless otherwise.
// Returns the error text when Velmar.raw cannot be created, else an empty text.
QString EndRecovery();

// Blocks a recovery file of sizeBytes loads: whole blocks (a trailing part-block is ignored),
// at most PeakArrayLength, the capacity of the peak tables.
uint32_t LoadableBlocks(int64_t sizeBytes);

// Peaks of one raw block as the scan takes them: no DC correction. The left maximum starts at
// -32767, one above the lowest sample, so a left channel of -32768 throughout reads -32767;
// peak files cached by earlier versions hold that value, and a scan must agree with them.
record::BlockPeaks ScanBlockPeaks(const uint8_t* block);

// The peak file counts for a recovery file only when it carries that file's modification time
// (to the nanosecond): a file of the same length from another recording does not. The load
// marks each peak file it writes with MarkPeakFileAs.
bool PeakFileBelongsTo(const std::string& peakPath, const std::string& recoveryPath);
bool MarkPeakFileAs(const std::string& peakPath, const std::string& recoveryPath);

} // namespace recovery
