// SPDX-License-Identifier: GPL-3.0-or-later
#include "operations/editor.h"

namespace operations {

void Editor::InsertSilence(int32_t blocks) {
    OperationScope scope(running_);
    if (!scope.started() || blocks <= 0) {
        return;
    }
    const uint32_t m = uint32_t(blocks);
    Level built;
    uint32_t runStart = 0;
    const uint32_t x = PrepareInsertion(m, built, runStart);
    state_.BlockBuffer.fill(0);
    state_.BlockLeft.fill(0);
    state_.BlockRight.fill(0);
    ComputeBlockPeaks();
    for (uint32_t t = x + 1; t <= x + m; ++t) {
        StoreEditPeaks(t);
        state_.EditStream.WriteBlock(t, state_.BlockBuffer.data());
        ReportProgress(t - x, m);
    }
    PushLevel(built, runStart, runStart + m - 1);
}

} // namespace operations
