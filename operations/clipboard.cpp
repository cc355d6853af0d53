// SPDX-License-Identifier: GPL-3.0-or-later
#include "operations/clipboard.h"

#include "operations/editing_state.h"
#include "operations/operation_steps.h"
#include "operations/undo_history.h"

#include <algorithm>

namespace operations {

namespace {

void CopySelection() {
    if (!HasSelection()) {
        return;
    }
    const uint32_t a = state.SelStart;
    const uint32_t b = state.SelEnd;
    unsigned char* buffer = RunBuffer();
    try {
        uint32_t written = 0;
        for (uint32_t p = a; p <= b;) {
            // A selection lies inside the sound, so every position has a segment.
            const uint32_t run =
                std::max(1u, ReadPositions(p, std::min(RunBlocks, b - p + 1), buffer).positions);
            state.ClipStream.WriteBlocks(written + 1, buffer, run);
            for (uint32_t i = 0; i < run; ++i) {
                ReportProgress(p + i - a, b - a);
            }
            written += run;
            p += run;
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
    Level built;
    uint32_t runStart = 0;
    const uint32_t x = PrepareInsertion(m, built, runStart);
    unsigned char* buffer = RunBuffer();
    for (uint32_t t = x + 1; t <= x + m;) {
        // The clip holds blocks as the edit list played them; they are appended unchanged.
        const uint32_t run = std::min(RunBlocks, x + m - t + 1);
        state.ClipStream.ReadBlocks(t - x, buffer, run);
        for (uint32_t i = 0; i < run; ++i) {
            SplitChannels(buffer + size_t(i) * record::BlockBytes);
            ComputeBlockPeaks();
            StoreEditPeaks(t + i);
        }
        state.EditStream.WriteBlocks(t, buffer, run);
        for (uint32_t i = 0; i < run; ++i) {
            ReportProgress(t + i - x, m);
        }
        t += run;
    }
    PushLevel(built, runStart, m > 0 ? runStart + m - 1 : runStart);
}

} // namespace operations
