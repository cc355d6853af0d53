// SPDX-License-Identifier: GPL-3.0-or-later
#include "recovery/take_holder.h"

#include "record/pipeline.h"

#include <utility>

namespace recovery {

bool RecorderTakeHolder::ContinuousModeChosen() const {
    return recorder_.View().ChosenModeIndex == 0;
}

base::PeakTableRefs RecorderTakeHolder::TakePeaks() {
    return recorder_.RecordingPeaks();
}

const base::RawFile& RecorderTakeHolder::AdoptTake(base::RawFile&& file, uint32_t blocks,
                                                   std::vector<record::DropoutMark> dropouts) {
    recorder_.AdoptRecording(std::move(file), blocks, std::move(dropouts));
    return recorder_.TakeFile();
}

void RecorderTakeHolder::DiscardTake() {
    recorder_.DiscardRecording();
}

} // namespace recovery
