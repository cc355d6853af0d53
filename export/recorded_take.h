// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "base/peak_file.h"
#include "base/raw_file.h"
#include "operations/sound_source.h"
#include "record/pipeline.h"

namespace exporting {

// The recorder's finished take as a sound to save, read in the order it was recorded (one run,
// or two when a loop ring wrapped, the oldest block first) straight from the recorder's file and
// peak tables. It only reads them: the main window's Save As saves through one made for that
// save, and no editing state is involved.
class RecordedTake final : public operations::SoundSource {
  public:
    RecordedTake(const record::TakeOrder& order, const base::RawFile& file,
                 const base::PeakTableRefs& peaks);
    // The take `recorder` holds now; it must outlive the reader.
    static RecordedTake OfRecorder(record::Recorder& recorder);

    uint32_t Blocks() const override { return blocks_; }
    size_t ReadPosition(uint32_t position, void* buf) const override;
    operations::PositionsRead ReadPositions(uint32_t position, uint32_t count,
                                            void* buf) const override;
    operations::PositionsPlace PlacePositions(uint32_t position, uint32_t count) const override;
    std::optional<base::BlockPeaks> Peaks(uint32_t position) const override;

  private:
    // The recording block at `position` and how many blocks continue from it in the file, or
    // {0, 0} for a position outside the take.
    struct Place {
        uint32_t block;
        uint32_t left;
    };
    Place PlaceOf(uint32_t position) const;

    record::TakeOrder order_;
    const base::RawFile& file_;
    base::PeakTableRefs peaks_;
    uint32_t blocks_ = 0;
};

} // namespace exporting
