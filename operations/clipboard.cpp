// SPDX-License-Identifier: GPL-3.0-or-later
#include "operations/editor.h"

#include <algorithm>

namespace operations {

void Editor::CopySelection() {
    if (!HasSelection()) {
        return;
    }
    const uint32_t a = selection_.SelStart;
    const uint32_t b = selection_.SelEnd;
    unsigned char* buffer = RunBuffer();
    try {
        uint32_t written = 0;
        for (uint32_t p = a; p <= b;) {
            // A selection lies inside the sound, so every position has a segment.
            const uint32_t run =
                std::max(1u, ReadPositions(p, std::min(RunBlocks, b - p + 1), buffer).positions);
            state_.ClipStream.WriteBlocks(written + 1, buffer, run);
            for (uint32_t i = 0; i < run; ++i) {
                ReportProgress(p + i - a, b - a);
            }
            written += run;
            p += run;
        }
        state_.ClipBlocks = written;
    } catch (...) {
        // The clip's first blocks are already overwritten: what is left is no longer the clip.
        state_.ClipBlocks = 0;
        throw;
    }
}

void Editor::DeleteSelection() {
    if (!HasSelection()) {
        return;
    }
    const uint32_t a = selection_.SelStart;
    Level built;
    if (!BuildDeletion(CurrentList(), a, selection_.SelEnd, built)) {
        ThrowTooManySegments();
    }
    selection_.CursorBlock = a;
    PushLevel(built, 1, 1);
}

void Editor::Copy() {
    OperationScope scope(running_);
    if (scope.started()) {
        CopySelection();
    }
}

void Editor::Delete() {
    OperationScope scope(running_);
    if (scope.started()) {
        DeleteSelection();
    }
}

void Editor::Cut() {
    OperationScope scope(running_);
    if (scope.started()) {
        CopySelection();
        DeleteSelection();
    }
}

void Editor::Paste() {
    OperationScope scope(running_);
    if (!scope.started()) {
        return;
    }
    const uint32_t m = state_.ClipBlocks;
    Level built;
    uint32_t runStart = 0;
    const uint32_t x = PrepareInsertion(m, built, runStart);
    unsigned char* buffer = RunBuffer();
    for (uint32_t t = x + 1; t <= x + m;) {
        // The clip holds blocks as the edit list played them; they are appended unchanged.
        const uint32_t run = std::min(RunBlocks, x + m - t + 1);
        state_.ClipStream.ReadBlocks(t - x, buffer, run);
        for (uint32_t i = 0; i < run; ++i) {
            SplitChannels(buffer + size_t(i) * base::BlockBytes);
            ComputeBlockPeaks();
            StoreEditPeaks(t + i);
        }
        state_.EditStream.WriteBlocks(t, buffer, run);
        for (uint32_t i = 0; i < run; ++i) {
            ReportProgress(t + i - x, m);
        }
        t += run;
    }
    PushLevel(built, runStart, m > 0 ? runStart + m - 1 : runStart);
}

} // namespace operations
