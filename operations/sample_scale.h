// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "base/blocks.h"

#include <cstddef>
#include <cstdint>

// The effects' one sample rule over runs of samples, written so the compiler vectorises it.
namespace operations {

// One 16-bit sample times `factor`, rounded to nearest with halves to even, then limited to full
// scale: a result past it that kept only its low bits would jump to the opposite sign, a loud
// crack.
int16_t ScaleSample(int16_t sample, double factor);

// ScaleSample over `count` 16-bit samples in place (byte buffers as read from a sound file, any
// alignment): all by `factor`, or each by its own entry of `factors`.
void ScaleSamples(unsigned char* samples, size_t count, double factor);
void ScaleSamples(unsigned char* samples, size_t count, const double* factors);

// The peaks of one block of interleaved stereo frames, from the recorder's start values: maxL
// -32767, maxR -32768, minimums 32767.
base::BlockPeaks PeaksOfBlock(const unsigned char* block);

} // namespace operations
