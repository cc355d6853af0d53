// SPDX-License-Identifier: GPL-3.0-or-later
#include "operations/editor.h"
#include "operations/sample_scale.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace operations {

// Applies `effect` to blocks in place. Amplify and Normalize scale every sample by one
// factor; a fade's gain moves by FadeStep from frame to frame from FadeGain, both channels of a
// frame taking the same gain.
void Editor::ProcessRun(Effect effect, unsigned char* buffer, uint32_t blocks) {
    const size_t samples = size_t(blocks) * base::BlockFrames * 2;
    if (effect == Effect::Amplify || effect == Effect::Normalize) {
        const double factor =
            effect == Effect::Amplify ? state_.AmplifyFactor : double(state_.NormalizeFactor);
        ScaleSamples(buffer, samples, factor);
        return;
    }
    const double step = effect == Effect::FadeIn ? state_.FadeStep : -state_.FadeStep;
    FadeFrames(buffer, samples / 2, state_.FadeGain, step, state_.FadeFrame);
    state_.FadeFrame += samples / 2;
}

void Editor::RunEffect(Effect effect) {
    OperationScope scope(running_);
    if (!scope.started() || !HasSelection()) {
        return;
    }
    const uint32_t a = selection_.SelStart;
    const uint32_t b = selection_.SelEnd;
    const uint32_t x = state_.EditStream.Blocks();
    Level built;
    if (!BuildReplacement(CurrentList(), a, b, x + 1, built)) {
        ThrowTooManySegments();
    }
    GrowEditPeaks((b - a + 1) + x + 2);
    if (effect == Effect::Normalize) {
        state_.NormalizeFactor = SelectionNormalizeFactor();
    }
    // Runs of blocks that continue in one source file, as Copy reads them: one read and one
    // write per run.
    unsigned char* buffer = RunBuffer();
    for (uint32_t p = a; p <= b;) {
        const PositionsRead read = ReadPositions(p, std::min(RunBlocks, b - p + 1), buffer);
        // A selection lies inside the sound, so every position has a segment.
        const uint32_t run = std::max(1u, read.positions);
        const size_t bytes = size_t(run) * base::BlockBytes;
        if (read.bytes < bytes) {
            // What a short read did not give is silence, never the sound of an earlier run.
            std::memset(buffer + read.bytes, 0, bytes - read.bytes);
        }
        const uint32_t t = x + (p - a) + 1;
        // Block by block, so that the peaks are taken while the block is still in the cache.
        for (uint32_t i = 0; i < run; ++i) {
            unsigned char* block = buffer + size_t(i) * base::BlockBytes;
            ProcessRun(effect, block, 1);
            state_.BlockPeaks = PeaksOfBlock(block);
            StoreEditPeaks(t + i);
        }
        state_.EditStream.WriteBlocks(t, buffer, run);
        for (uint32_t i = 0; i < run; ++i) {
            ReportProgress(p + i - a, b - a);
        }
        p += run;
    }
    PushLevel(built, a, b);
}

void Editor::StartFade(double gain) {
    state_.FadeStep =
        1.0 / ((double(selection_.SelEnd) - selection_.SelStart + 1) * base::BlockFrames);
    state_.FadeGain = gain;
    state_.FadeFrame = 0;
}

void Editor::FadeIn() {
    if (running_) {
        return;
    }
    StartFade(0.0);
    RunEffect(Effect::FadeIn);
}

void Editor::FadeOut() {
    if (running_) {
        return;
    }
    StartFade(1.0);
    RunEffect(Effect::FadeOut);
}

void Editor::Amplify(int percent) {
    if (running_) {
        return;
    }
    state_.AmplifyFactor = percent / 100.0;
    if (percent != 100) {
        RunEffect(Effect::Amplify);
    }
}

void Editor::Normalize() {
    RunEffect(Effect::Normalize);
}

float Editor::SelectionNormalizeFactor() const {
    int maxL = -32767, maxR = -32768, minL = 32767, minR = 32767;
    for (uint64_t p = selection_.SelStart; p <= selection_.SelEnd; ++p) {
        const std::optional<base::BlockPeaks> peaks = Peaks(uint32_t(p));
        if (!peaks) {
            continue;
        }
        maxL = std::max<int>(maxL, peaks->maxL);
        minL = std::min<int>(minL, peaks->minL);
        maxR = std::max<int>(maxR, peaks->maxR);
        minR = std::min<int>(minR, peaks->minR);
    }
    float peak = 0;
    for (int v : {maxL, maxR, std::abs(minL), std::abs(minR)}) {
        if (float(v) > peak) {
            peak = float(v);
        }
    }
    if (peak >= 32768) {
        peak = 32767;
    }
    if (peak == 0) {
        peak = 1;
    }
    return 32767.0f / peak;
}

int Editor::ClippingLevel() const {
    return int(std::llrint(double(SelectionNormalizeFactor()) * 100.0));
}

} // namespace operations
