// SPDX-License-Identifier: GPL-3.0-or-later
// Compiled with a vectoriser cost model that accepts these loops at -O2 as well (CMakeLists.txt).
#include "operations/sample_scale.h"

#include <algorithm>
#include <cstring>

namespace operations {

namespace {

// 1.5 * 2^52: a double of this size has no fraction bits left, so adding it rounds in the
// processor's rounding mode (nearest, halves to even), and taking it away again is exact. The
// same as rint for every product below 2^51; larger ones are limited to full scale either way.
// Unlike rint it needs no rounding instruction the baseline processor lacks.
constexpr double RoundingShift = 6755399441055744.0;

inline int16_t Scaled(int16_t sample, double factor) {
    double v = double(sample) * factor;
    v = (v + RoundingShift) - RoundingShift;
    v = v < -32768.0 ? -32768.0 : v;
    v = v > 32767.0 ? 32767.0 : v;
    return int16_t(int(v));
}

} // namespace

int16_t ScaleSample(int16_t sample, double factor) {
    return Scaled(sample, factor);
}

void ScaleSamples(unsigned char* samples, size_t count, double factor) {
    for (size_t i = 0; i < count; ++i) {
        int16_t s;
        std::memcpy(&s, samples + 2 * i, 2);
        const int16_t r = Scaled(s, factor);
        std::memcpy(samples + 2 * i, &r, 2);
    }
}

void ScaleSamples(unsigned char* samples, size_t count, const double* factors) {
    for (size_t i = 0; i < count; ++i) {
        int16_t s;
        std::memcpy(&s, samples + 2 * i, 2);
        const int16_t r = Scaled(s, factors[i]);
        std::memcpy(samples + 2 * i, &r, 2);
    }
}

base::BlockPeaks PeaksOfBlock(const unsigned char* block) {
    // Sixteen running peaks, even ones of the left channel and odd ones of the right, so that
    // the loop works on whole vectors of samples.
    constexpr size_t Lanes = 16;
    constexpr size_t Samples = size_t(base::BlockFrames) * 2;
    int16_t high[Lanes];
    int16_t low[Lanes];
    for (size_t k = 0; k < Lanes; ++k) {
        high[k] = k % 2 ? -32768 : -32767;
        low[k] = 32767;
    }
    size_t i = 0;
    for (; i + Lanes <= Samples; i += Lanes) {
        for (size_t k = 0; k < Lanes; ++k) {
            int16_t s;
            std::memcpy(&s, block + 2 * (i + k), 2);
            high[k] = s > high[k] ? s : high[k];
            low[k] = s < low[k] ? s : low[k];
        }
    }
    for (size_t k = 0; i < Samples; ++i, ++k) { // i is even here: lane k has the same channel
        int16_t s;
        std::memcpy(&s, block + 2 * i, 2);
        high[k] = s > high[k] ? s : high[k];
        low[k] = s < low[k] ? s : low[k];
    }
    base::BlockPeaks p{high[0], low[0], high[1], low[1]};
    for (size_t k = 2; k < Lanes; k += 2) {
        p.maxL = std::max(p.maxL, high[k]);
        p.minL = std::min(p.minL, low[k]);
        p.maxR = std::max(p.maxR, high[k + 1]);
        p.minR = std::min(p.minR, low[k + 1]);
    }
    return p;
}

} // namespace operations
