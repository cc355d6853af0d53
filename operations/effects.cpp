// SPDX-License-Identifier: GPL-3.0-or-later
#include "operations/effects.h"

#include "operations/editing_state.h"
#include "operations/operation_steps.h"
#include "operations/undo_history.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace operations {

namespace {

enum class Effect { FadeIn, FadeOut, Amplify, Normalize };

// Rounds to nearest, halves to even (the default rounding mode), then limits to full scale: a
// result past it that kept only its low bits would jump to the opposite sign, a loud crack.
int16_t Scale(int16_t sample, double factor) {
    const long long v = std::llrint(double(sample) * factor);
    return int16_t(std::clamp<long long>(v, INT16_MIN, INT16_MAX));
}

// Runs one block from state.ReadBuffer into state.BlockBuffer, BlockLeft and BlockRight.
void ProcessBlock(Effect effect) {
    const unsigned char* in = state.ReadBuffer.data();
    unsigned char* out = state.BlockBuffer.data();
    for (int j = 0; j < record::BlockFrames; ++j) {
        int16_t l, r;
        std::memcpy(&l, in + 4 * j, 2);
        std::memcpy(&r, in + 4 * j + 2, 2);
        double factor = 1.0;
        switch (effect) {
        case Effect::Amplify:
            factor = state.AmplifyFactor;
            break;
        case Effect::Normalize:
            factor = state.NormalizeFactor;
            break;
        case Effect::FadeIn:
            state.FadeGain += state.FadeStep;
            factor = state.FadeGain;
            break;
        case Effect::FadeOut:
            state.FadeGain -= state.FadeStep;
            factor = state.FadeGain;
            break;
        }
        state.BlockLeft[j] = Scale(l, factor);
        state.BlockRight[j] = Scale(r, factor);
        std::memcpy(out + 4 * j, &state.BlockLeft[j], 2);
        std::memcpy(out + 4 * j + 2, &state.BlockRight[j], 2);
    }
}

void RunEffect(Effect effect) {
    OperationScope scope;
    if (!scope.started() || !HasSelection()) {
        return;
    }
    const uint32_t a = state.SelStart;
    const uint32_t b = state.SelEnd;
    const uint32_t x = state.EditStream.Blocks();
    Level built;
    if (!BuildReplacement(CurrentLevel(), a, b, x + 1, built)) {
        ThrowTooManySegments();
    }
    GrowEditPeaks((b - a + 1) + x + 2);
    if (effect == Effect::Normalize) {
        SelectionNormalizeFactor();
    }
    for (uint32_t p = a; p <= b; ++p) {
        const uint32_t t = x + (p - a) + 1;
        ReadPosition(p, state.ReadBuffer.data());
        ProcessBlock(effect);
        ComputeBlockPeaks();
        StoreEditPeaks(t);
        state.EditStream.WriteBlock(t, state.BlockBuffer.data());
        ReportProgress(p - a, b - a);
    }
    PushLevel(built, a, b);
}

void StartFade(double gain) {
    state.FadeStep = 1.0 / ((double(state.SelEnd) - state.SelStart + 1) * record::BlockFrames);
    state.FadeGain = gain;
}

} // namespace

void FadeIn() {
    if (state.Running) {
        return;
    }
    StartFade(0.0);
    RunEffect(Effect::FadeIn);
}

void FadeOut() {
    if (state.Running) {
        return;
    }
    StartFade(1.0);
    RunEffect(Effect::FadeOut);
}

void Amplify(int percent) {
    if (state.Running) {
        return;
    }
    state.AmplifyFactor = percent / 100.0;
    if (percent != 100) {
        RunEffect(Effect::Amplify);
    }
}

void Normalize() {
    RunEffect(Effect::Normalize);
}

float SelectionNormalizeFactor() {
    int maxL = -32767, maxR = -32768, minL = 32767, minR = 32767;
    for (uint64_t p = state.SelStart; p <= state.SelEnd; ++p) {
        const std::optional<record::BlockPeaks> peaks = LookupPeaks(uint32_t(p));
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
    state.NormalizeFactor = 32767.0f / peak;
    return state.NormalizeFactor;
}

int ClippingLevel() {
    return int(std::llrint(double(SelectionNormalizeFactor()) * 100.0));
}

} // namespace operations
