// SPDX-License-Identifier: GPL-3.0-or-later
// Steps the editing operations share.
#include "base/errors.h"
#include "base/event_pump.h"
#include "operations/editor.h"

#include <cstring>

namespace operations {

void Editor::SplitChannels(const unsigned char* block) {
    for (int j = 0; j < base::BlockFrames; ++j) {
        std::memcpy(&state_.BlockLeft[j], block + 4 * j, 2);
        std::memcpy(&state_.BlockRight[j], block + 4 * j + 2, 2);
    }
}

void Editor::ComputeBlockPeaks() {
    base::BlockPeaks p{-32767, 32767, -32768, 32767};
    for (int j = 0; j < base::BlockFrames; ++j) {
        const int16_t l = state_.BlockLeft[j];
        const int16_t r = state_.BlockRight[j];
        if (l > p.maxL)
            p.maxL = l;
        if (l < p.minL)
            p.minL = l;
        if (r > p.maxR)
            p.maxR = r;
        if (r < p.minR)
            p.minR = r;
    }
    state_.BlockPeaks = p;
}

unsigned char* Editor::RunBuffer() {
    if (state_.RunBuffer.size() < size_t(RunBlocks) * base::BlockBytes) {
        state_.RunBuffer.resize(size_t(RunBlocks) * base::BlockBytes);
    }
    return state_.RunBuffer.data();
}

void Editor::ReportProgress(uint32_t done, uint32_t total) {
    state_.ProgressPercent = float(double(done) * 100.0 / double(total));
    pump_.ProcessMessages();
}

void ThrowTooManySegments() {
    throw base::UserError(
        "This edit would split the sound into more than 100 pieces. Undo some edits first.");
}

uint32_t Editor::PrepareInsertion(uint32_t blocks, Level& built, uint32_t& runStart) {
    const uint32_t x = state_.EditStream.Blocks();
    if (!BuildInsertion(CurrentList(), selection_.CursorBlock, x + 1, blocks, built, &runStart)) {
        ThrowTooManySegments();
    }
    GrowEditPeaks(x + blocks + 2);
    return x;
}

} // namespace operations
