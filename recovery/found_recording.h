// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "base/blocks.h"
#include "base/event_pump.h"
#include "base/file_system.h"
#include "recovery/take_holder.h"

#include <QString>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// A raw recording named "test" in the work folder (the recovery file; start-up keeps a take
// left by a crashed run under that name) can be loaded into the editor in place of the current
// take. The program never creates or changes it, and deletes it only when it holds no whole
// block (ShouldOffer): it is opened read-only, and the next recording still goes to Velmar.raw.
// Its block peaks are cached in the peak file Velmar.spv.
//
// The editor window owns a Recovery: its opening calls ShouldOffer and, when it answers true,
// shows the found-recording window, whose Load button calls Load; its closing calls
// EndRecovery. Everything runs on the GUI thread.
namespace recovery {

// The two files of a work folder the load reads and writes.
struct FoundRecordingPaths {
    std::string RecoveryFile;     // "test"
    std::string PeakFile;         // "Velmar.spv"
    std::string DropoutFile = {}; // "test.drp": where the found recording lost sound
};

// The found recording of one work folder, loaded into the take that `take` holds. The ports
// must outlive it.
class Recovery {
  public:
    Recovery(TakeHolder& take, const base::FileSystem& fileSystem, base::EventPump& events,
             FoundRecordingPaths paths);
    Recovery(const Recovery&) = delete;
    Recovery& operator=(const Recovery&) = delete;

    // True when the editor should offer the recovery file: the mode chosen in the recording-mode
    // list is "Continuous" (a loop's take is never replaced), no recovery file is loaded, and the
    // work folder holds a file "test" of at least one block. A shorter one holds no sound to
    // load: it is deleted, as start-up deletes a left-over recording that short, and never
    // offered.
    bool ShouldOffer();

    // Opens the recovery file read-only and, only once that succeeded, makes it the take in
    // place of the current one (TakeHolder::AdoptTake), in file order, LoadedBlocks long; the
    // editor opened after the load edits it. Its peaks come from the peak file when that
    // belongs to this file (PeakFileBelongsTo) and is valid for its length; otherwise they are
    // computed block by block, with ProgressPercent and the event pump after every block, and
    // the peak file is written anew and marked as belonging to it. Does nothing while a load
    // runs. Throws base::FileOpenError when the file cannot be opened: the text says why and
    // names it, and the current take is still the take. Returns the notice the user is shown
    // when the file is longer than the peak tables hold and only its first PeakArrayLength
    // blocks were loaded (it says so and where the file lies); nothing otherwise.
    std::optional<QString> Load();

    // The editor closes: when a recovery file was loaded it is released and the recording file
    // is created empty as the take again (TakeHolder::DiscardTake). Harmless otherwise. Throws
    // base::FileOpenError when the recording file cannot be created.
    void EndRecovery();

    // The recovery file is the take, until EndRecovery.
    bool Active() const { return active_; }
    // Load runs; it lets pending messages run, so it can be re-entered.
    bool Loading() const { return loading_; }
    // The peaks are being computed from the file: progress is worth showing.
    bool Scanning() const { return scanning_; }
    // Of the scan: block i of n gives i / n * 100.
    float ProgressPercent() const { return progressPercent_; }
    // The last load took its peaks from the peak file.
    bool PeaksFromFile() const { return peaksFromFile_; }
    // Blocks of the last load (at most PeakArrayLength).
    uint32_t LoadedBlocks() const { return loadedBlocks_; }
    // Whole blocks in the recovery file at the last load (capped).
    uint32_t FoundBlocks() const { return foundBlocks_; }

  private:
    void ScanPeaks(const base::RawFile& file, uint32_t blocks, const base::PeakTableRefs& peaks);

    TakeHolder& take_;
    const base::FileSystem& fileSystem_;
    base::EventPump& events_;
    const FoundRecordingPaths paths_;
    bool active_ = false;
    bool loading_ = false;
    bool scanning_ = false;
    float progressPercent_ = 0;
    bool peaksFromFile_ = false;
    uint32_t loadedBlocks_ = 0;
    uint32_t foundBlocks_ = 0;
    std::vector<uint8_t> scratchBuffer_; // the scan's reads; sized by the first scan
};

// Blocks a recovery file of sizeBytes loads: whole blocks (a trailing part-block is ignored),
// at most PeakArrayLength, the capacity of the peak tables.
uint32_t LoadableBlocks(int64_t sizeBytes);

// Peaks of one raw block as the scan takes them: no DC correction. The left maximum starts at
// -32767, one above the lowest sample, so a left channel of -32768 throughout reads -32767;
// peak files cached by earlier versions hold that value, and a scan must agree with them.
base::BlockPeaks ScanBlockPeaks(const uint8_t* block);

// The peak file counts for a recovery file only when it carries that file's modification time
// (to the nanosecond): a file of the same length from another recording does not. The load
// marks each peak file it writes with MarkPeakFileAs.
bool PeakFileBelongsTo(const std::string& peakPath, const std::string& recoveryPath);
bool MarkPeakFileAs(const std::string& peakPath, const std::string& recoveryPath);

} // namespace recovery
