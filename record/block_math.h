// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "base/blocks.h"

#include <QString>

#include <array>
#include <cstdint>
#include <optional>

// The arithmetic of one captured block and of the DC history, free of any recorder: each
// function reads only its arguments and writes only what it returns or the buffers it is given.
namespace record {

constexpr int DcHistoryLength = 50; // entries 1..50 of each DC history; five seconds of means
using DcHistory = std::array<int, DcHistoryLength + 1>;

// Rounds to nearest, ties to even (the default floating-point rounding mode).
int RoundEven(double v);

// Splits the interleaved block at `block` (BlockBytes) into `left` and `right` (BlockFrames
// each). With an offset, each sample less its channel's offset, clamped to 16 bits, is also
// written back into the block, so the file holds what the gauges measured.
void CorrectBlock(uint8_t* block, int dcOffsetL, int dcOffsetR, int16_t* left, int16_t* right);

// Maxima and minima of one block's channels. The left maximum starts from -32767, as it always
// has, so a block of -32768 alone reads -32767 there.
base::BlockPeaks MeasureBlock(const int16_t* left, const int16_t* right);
// A channel clipped when it reached either end of the 16-bit range.
inline bool ClippedHigh(int16_t max) {
    return max > 32766;
}
inline bool Clipped(int16_t max, int16_t min) {
    return ClippedHigh(max) || min == -32768;
}

struct BlockMeans {
    double left = 0, right = 0;
};
BlockMeans MeanBlock(const int16_t* left, const int16_t* right);

// Mean of the history entries that are not 0 (0 counts as an empty entry); none when all are.
std::optional<double> DcAverage(const DcHistory& history);

// Level icon 0..16 of a block from its channel maxima.
int LevelIconIndex(int16_t maxL, int16_t maxR);

// "hh:mm:ss" of `blocks` tenths of a second, truncated to whole seconds.
QString RecordedTimeText(uint32_t blocks);

} // namespace record
