// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "base/peak_file.h"
#include "base/raw_file.h"
#include "record/dropout_detector.h"

#include <cstdint>
#include <vector>

// What the found-recording load needs of whoever holds the take: the mode chosen, the take's
// peak tables to fill, adopting a file as the take and letting it go again.
namespace record {
class Recorder;
}

namespace recovery {

class TakeHolder {
  public:
    virtual ~TakeHolder() = default;
    // The recording-mode list shows "Continuous": a loop's take is never replaced.
    virtual bool ContinuousModeChosen() const = 0;
    // The take's four peak tables (PeakArrayLength + 1 entries each, entry 0 unused).
    virtual base::PeakTableRefs TakePeaks() = 0;
    // Makes `file` (open) the take of `blocks` blocks, in file order, in place of the current one;
    // returns the take's file, which stays the holder's. `dropouts` are the file's, for the editor.
    virtual const base::RawFile& AdoptTake(base::RawFile&& file, uint32_t blocks,
                                           std::vector<record::DropoutMark> dropouts) = 0;
    // Lets the take go; the recording file is created anew, empty. Throws base::FileOpenError.
    virtual void DiscardTake() = 0;
};

// The holder in the program: the recorder whose take the editor edits. Its buffers must have
// been allocated before the peak tables are asked for.
class RecorderTakeHolder final : public TakeHolder {
  public:
    explicit RecorderTakeHolder(record::Recorder& recorder) : recorder_(recorder) {}
    bool ContinuousModeChosen() const override;
    base::PeakTableRefs TakePeaks() override;
    const base::RawFile& AdoptTake(base::RawFile&& file, uint32_t blocks,
                                   std::vector<record::DropoutMark> dropouts) override;
    void DiscardTake() override;

  private:
    record::Recorder& recorder_;
};

} // namespace recovery
