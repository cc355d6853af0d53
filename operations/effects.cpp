// SPDX-License-Identifier: GPL-3.0-or-later
#include "operations/editor.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace operations {

namespace {

// Rounds to nearest, halves to even (the default rounding mode), then limits to full scale: a
// result past it that kept only its low bits would jump to the opposite sign, a loud crack.
int16_t Scale(int16_t sample, double factor) {
    const long long v = std::llrint(double(sample) * factor);
    return int16_t(std::clamp<long long>(v, INT16_MIN, INT16_MAX));
}

} // namespace

// Runs one block from state_.ReadBuffer into state_.BlockBuffer, BlockLeft and BlockRight.
void Editor::ProcessBlock(Effect effect) {
    const unsigned char* in = state_.ReadBuffer.data();
    unsigned char* out = state_.BlockBuffer.data();
    for (int j = 0; j < base::BlockFrames; ++j) {
        int16_t l, r;
        std::memcpy(&l, in + 4 * j, 2);
        std::memcpy(&r, in + 4 * j + 2, 2);
        double factor = 1.0;
        switch (effect) {
        case Effect::Amplify:
            factor = state_.AmplifyFactor;
            break;
        case Effect::Normalize:
            factor = state_.NormalizeFactor;
            break;
        case Effect::FadeIn:
            state_.FadeGain += state_.FadeStep;
            factor = state_.FadeGain;
            break;
        case Effect::FadeOut:
            state_.FadeGain -= state_.FadeStep;
            factor = state_.FadeGain;
            break;
        }
        state_.BlockLeft[j] = Scale(l, factor);
        state_.BlockRight[j] = Scale(r, factor);
        std::memcpy(out + 4 * j, &state_.BlockLeft[j], 2);
        std::memcpy(out + 4 * j + 2, &state_.BlockRight[j], 2);
    }
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
    for (uint32_t p = a; p <= b; ++p) {
        const uint32_t t = x + (p - a) + 1;
        ReadPosition(p, state_.ReadBuffer.data());
        ProcessBlock(effect);
        ComputeBlockPeaks();
        StoreEditPeaks(t);
        state_.EditStream.WriteBlock(t, state_.BlockBuffer.data());
        ReportProgress(p - a, b - a);
    }
    PushLevel(built, a, b);
}

void Editor::StartFade(double gain) {
    state_.FadeStep =
        1.0 / ((double(selection_.SelEnd) - selection_.SelStart + 1) * base::BlockFrames);
    state_.FadeGain = gain;
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
