// SPDX-License-Identifier: GPL-3.0-or-later
#include "operations/clipboard.h"

#include "operations/editing_state.h"
#include "operations/operation_steps.h"
#include "operations/undo_history.h"

namespace operations {

namespace {

void CopySelection() {
    if (!HasSelection()) {
        return;
    }
    const uint32_t a = state.SelStart;
    const uint32_t b = state.SelEnd;
    try {
        uint32_t written = 0;
        for (uint32_t p = a; p <= b; ++p) {
            ReadPosition(p, state.ReadBuffer.data());
            state.ClipStream.WriteBlock(++written, state.ReadBuffer.data());
            ReportProgress(p - a, b - a);
        }
        state.ClipBlocks = written;
    } catch (...) {
        // The clip's first blocks are already overwritten: what is left is no longer the clip.
        state.ClipBlocks = 0;
        throw;
    }
}

void DeleteSelection() {
    if (!HasSelection()) {
        return;
    }
    const uint32_t a = state.SelStart;
    Level built;
    if (!BuildDeletion(CurrentLevel(), a, state.SelEnd, built)) {
        ThrowTooManySegments();
    }
    state.CursorBlock = a;
    PushLevel(built, 1, 1);
}

} // namespace

void Copy() {
    OperationScope scope;
    if (scope.started()) {
        CopySelection();
    }
}

void Delete() {
    OperationScope scope;
    if (scope.started()) {
        DeleteSelection();
    }
}

void Cut() {
    OperationScope scope;
    if (scope.started()) {
        CopySelection();
        DeleteSelection();
    }
}

void Paste() {
    OperationScope scope;
    if (!scope.started()) {
        return;
    }
    const uint32_t m = state.ClipBlocks;
    const uint32_t x = state.EditStream.Blocks();
    Level built;
    uint32_t runStart = 0;
    if (!BuildInsertion(CurrentLevel(), state.CursorBlock, x + 1, m, built, &runStart)) {
        ThrowTooManySegments();
    }
    GrowEditPeaks(x + m + 2);
    for (uint32_t t = x + 1; t <= x + m; ++t) {
        // The clip holds blocks as the edit list played them; they are appended unchanged.
        state.ClipStream.ReadBlock(t - x, state.ReadBuffer.data());
        SplitChannels(state.ReadBuffer.data());
        ComputeBlockPeaks();
        StoreEditPeaks(t);
        state.EditStream.WriteBlock(t, state.ReadBuffer.data());
        ReportProgress(t - x, m);
    }
    PushLevel(built, runStart, m > 0 ? runStart + m - 1 : runStart);
}

} // namespace operations
