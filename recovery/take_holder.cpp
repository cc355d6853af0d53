// SPDX-License-Identifier: GPL-3.0-or-later
#include "recovery/take_holder.h"

#include "record/pipeline.h"

#include <utility>

namespace recovery {

bool RecorderTakeHolder::ContinuousModeChosen() const {
    return record::state.ChosenModeIndex == 0;
}

record::PeakTableRefs RecorderTakeHolder::TakePeaks() {
    return record::RecordingPeaks();
}

const record::RawFile& RecorderTakeHolder::AdoptTake(record::RawFile&& file, uint32_t blocks) {
    record::AdoptRecording(std::move(file), blocks);
    return record::state.RecordingStream;
}

void RecorderTakeHolder::DiscardTake() {
    record::DiscardRecording();
}

} // namespace recovery
