// SPDX-License-Identifier: GPL-3.0-or-later
#include "operations/sound_source.h"

#include "operations/editing_state.h"
#include "operations/undo_history.h"

namespace operations {

uint32_t CurrentLevelSource::Blocks() const {
    return state.FileBlocks;
}

size_t CurrentLevelSource::ReadPosition(uint32_t position, void* buf) const {
    return operations::ReadPosition(position, buf);
}

PositionsRead CurrentLevelSource::ReadPositions(uint32_t position, uint32_t count, void* buf) const {
    return operations::ReadPositions(position, count, buf);
}

std::optional<record::BlockPeaks> CurrentLevelSource::Peaks(uint32_t position) const {
    return LookupPeaks(position);
}

} // namespace operations
