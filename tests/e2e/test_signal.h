// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cmath>
#include <cstdint>
#include <numbers>

namespace e2e {

// The end-to-end signal: frame k carries k mod 65536 in the left channel and, in the right
// channel, a tone whose phase depends only on k mod 65536 (about 297 Hz). A dropped, repeated
// or corrupted frame anywhere in a recording breaks the left channel's +1 step or the pairing of
// the two channels, so a recording can be checked sample by sample without knowing where it began.
constexpr int ToneCycles = 441;
constexpr double ToneAmplitude = 12000.0;

inline int16_t CounterSample(uint32_t k) {
    return static_cast<int16_t>(static_cast<uint16_t>(k));
}

inline int16_t ToneSample(uint16_t counter) {
    const double phase = 2.0 * std::numbers::pi * ToneCycles * counter / 65536.0;
    return static_cast<int16_t>(std::lrint(ToneAmplitude * std::sin(phase)));
}

} // namespace e2e
