// SPDX-License-Identifier: GPL-3.0-or-later
#include "recovery/take_holder.h"

#include "record/pipeline.h"

#include <utility>

namespace recovery {

bool RecorderTakeHolder::ContinuousModeChosen() const {
    return record::ActiveRecorder().View().ChosenModeIndex == 0;
}

record::PeakTableRefs RecorderTakeHolder::TakePeaks() {
    return record::ActiveRecorder().RecordingPeaks();
}

const record::RawFile& RecorderTakeHolder::AdoptTake(record::RawFile&& file, uint32_t blocks) {
    record::ActiveRecorder().AdoptRecording(std::move(file), blocks);
    return record::ActiveRecorder().TakeFile();
}

void RecorderTakeHolder::DiscardTake() {
    record::ActiveRecorder().DiscardRecording();
}

} // namespace recovery
