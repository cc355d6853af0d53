// SPDX-License-Identifier: GPL-3.0-or-later
#include "operations/operation_steps.h"

#include "operations/edit_list.h"
#include "operations/editing_state.h"
#include "operations/undo_history.h"
#include "platform/services/process_messages.h"
#include "record/errors.h"

#include <cstring>

namespace operations {

bool HasSelection() {
    return state.SelStart < state.SelEnd && state.SelEnd <= state.FileBlocks;
}

void SplitChannels(const unsigned char* block) {
    for (int j = 0; j < record::BlockFrames; ++j) {
        std::memcpy(&state.BlockLeft[j], block + 4 * j, 2);
        std::memcpy(&state.BlockRight[j], block + 4 * j + 2, 2);
    }
}

void ComputeBlockPeaks() {
    record::BlockPeaks p{-32767, 32767, -32768, 32767};
    for (int j = 0; j < record::BlockFrames; ++j) {
        const int16_t l = state.BlockLeft[j];
        const int16_t r = state.BlockRight[j];
        if (l > p.maxL)
            p.maxL = l;
        if (l < p.minL)
            p.minL = l;
        if (r > p.maxR)
            p.maxR = r;
        if (r < p.minR)
            p.minR = r;
    }
    state.BlockPeaks = p;
}

unsigned char* RunBuffer() {
    if (state.RunBuffer.size() < size_t(RunBlocks) * record::BlockBytes) {
        state.RunBuffer.resize(size_t(RunBlocks) * record::BlockBytes);
    }
    return state.RunBuffer.data();
}

void ReportProgress(uint32_t done, uint32_t total) {
    state.ProgressPercent = float(double(done) * 100.0 / double(total));
    platform::ProcessMessages();
}

void ThrowTooManySegments() {
    throw record::UserError(
        "This edit would split the sound into more than 100 pieces. Undo some edits first.");
}

uint32_t PrepareInsertion(uint32_t blocks, Level& built, uint32_t& runStart) {
    const uint32_t x = state.EditStream.Blocks();
    if (!BuildInsertion(CurrentLevel(), state.CursorBlock, x + 1, blocks, built, &runStart)) {
        ThrowTooManySegments();
    }
    GrowEditPeaks(x + blocks + 2);
    return x;
}

} // namespace operations
