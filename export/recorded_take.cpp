// SPDX-License-Identifier: GPL-3.0-or-later
#include "export/recorded_take.h"

#include <algorithm>

namespace exporting {

RecordedTake::RecordedTake(const record::TakeOrder& order, const base::RawFile& file,
                           const base::PeakTableRefs& peaks)
    : order_(order), file_(file), peaks_(peaks) {
    for (int r = 0; r < order_.runs; ++r) {
        blocks_ += order_.run[r].count;
    }
}

RecordedTake RecordedTake::OfRecorder(record::Recorder& recorder) {
    return RecordedTake(recorder.RecordedTakeOrder(), recorder.TakeFile(),
                        recorder.RecordingPeaks());
}

RecordedTake::Place RecordedTake::PlaceOf(uint32_t position) const {
    if (position == 0) {
        return {0, 0};
    }
    uint32_t p = position;
    for (int r = 0; r < order_.runs; ++r) {
        const record::BlockRun& run = order_.run[r];
        if (p <= run.count) {
            return {run.first + p - 1, run.count - (p - 1)};
        }
        p -= run.count;
    }
    return {0, 0};
}

size_t RecordedTake::ReadPosition(uint32_t position, void* buf) const {
    const Place place = PlaceOf(position);
    return place.left == 0 ? 0 : file_.ReadBlocks(place.block, buf, 1);
}

operations::PositionsRead RecordedTake::ReadPositions(uint32_t position, uint32_t count,
                                                      void* buf) const {
    const Place place = PlaceOf(position);
    const uint32_t run = std::min(count, place.left);
    return {run, run > 0 ? file_.ReadBlocks(place.block, buf, run) : 0};
}

operations::PositionsPlace RecordedTake::PlacePositions(uint32_t position, uint32_t count) const {
    const Place place = PlaceOf(position);
    const uint32_t run = std::min(count, place.left);
    if (run == 0) {
        return {};
    }
    return {file_.Descriptor(), base::BlockOffset(place.block), run};
}

std::optional<base::BlockPeaks> RecordedTake::Peaks(uint32_t position) const {
    const Place place = PlaceOf(position);
    if (place.left == 0) {
        return std::nullopt;
    }
    const uint32_t k = place.block;
    if (!peaks_.maxL || k > uint32_t(base::PeakArrayLength)) {
        return base::BlockPeaks{0, 0, 0, 0};
    }
    return base::BlockPeaks{peaks_.maxL[k], peaks_.minL[k], peaks_.maxR[k], peaks_.minR[k]};
}

} // namespace exporting
