// SPDX-License-Identifier: GPL-3.0-or-later
// Compiled with a vectoriser cost model that accepts these loops at -O2 as well (CMakeLists.txt).
#include "operations/sample_scale.h"

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

} // namespace operations
