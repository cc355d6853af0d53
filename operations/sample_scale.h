// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "base/blocks.h"

#include <cstddef>
#include <cstdint>

// The effects' one sample rule over runs of samples, eight samples at a time where the
// processor has SSE2.
namespace operations {

// One 16-bit sample times `factor`, rounded to nearest with halves to even, then limited to full
// scale: a result past it that kept only its low bits would jump to the opposite sign, a loud
// crack.
int16_t ScaleSample(int16_t sample, double factor);

// ScaleSample over `count` 16-bit samples in place (byte buffers as read from a sound file, any
// alignment), all by `factor`.
void ScaleSamples(unsigned char* samples, size_t count, double factor);
// A fade over `count` stereo frames in place, the frames `first` onwards of the fade (0-based):
// frame k is scaled, both its samples, by start + (k + 1) * step. Each gain is worked out from
// the frame's number rather than summed from the last, so the gains are the same whatever the
// run lengths, do not drift over an hour's fade, and four frames are worked on at a time.
void FadeFrames(unsigned char* frames, size_t count, double start, double step, uint64_t first);

// The peaks of one block of interleaved stereo frames, from the recorder's start values: maxL
// -32767, maxR -32768, minimums 32767.
base::BlockPeaks PeaksOfBlock(const unsigned char* block);

} // namespace operations
