// SPDX-License-Identifier: GPL-3.0-or-later
#include "operations/insert_silence.h"

#include "operations/editing_state.h"
#include "operations/operation_steps.h"
#include "operations/undo_history.h"

namespace operations {

void InsertSilence(int32_t blocks) {
    OperationScope scope;
    if (!scope.started() || blocks <= 0) {
        return;
    }
    const uint32_t m = uint32_t(blocks);
    Level built;
    uint32_t runStart = 0;
    const uint32_t x = PrepareInsertion(m, built, runStart);
    state.BlockBuffer.fill(0);
    state.BlockLeft.fill(0);
    state.BlockRight.fill(0);
    ComputeBlockPeaks();
    for (uint32_t t = x + 1; t <= x + m; ++t) {
        StoreEditPeaks(t);
        state.EditStream.WriteBlock(t, state.BlockBuffer.data());
        ReportProgress(t - x, m);
    }
    PushLevel(built, runStart, runStart + m - 1);
}

} // namespace operations
