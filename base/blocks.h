// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>

// The one internal sound format: 44100 frames/s, two interleaved 16-bit signed little-endian
// channels, left first. Every work file, capture slot, peak entry and export step is counted in
// blocks of 0.1 s; block n of a raw file starts at byte (n - 1) * BlockBytes.
namespace base {

constexpr int SampleRate = 44100;
constexpr int Channels = 2;
constexpr int FrameBytes = 4;
constexpr int BlockFrames = 4410;
constexpr int BlockBytes = BlockFrames * FrameBytes;  // 17640
constexpr int BytesPerSecond = SampleRate * FrameBytes; // 176400
constexpr int HalfBlocks = 20;
constexpr int HalfBytes = HalfBlocks * BlockBytes;     // 352800: the unit the recording file is written in
constexpr int SlotCount = 40;                          // capture slots, two halves of 20
constexpr int PeakArrayLength = 360000;                // peak entries per table: 10 hours of blocks

// Byte offset of 1-based block n, computed in 64 bits: a 10-hour file passes 4 GiB.
constexpr int64_t BlockOffset(uint32_t n) { return (int64_t(n) - 1) * BlockBytes; }

// Largest and smallest sample of each channel of one block.
struct BlockPeaks {
    int16_t maxL, minL, maxR, minR;
};

} // namespace base
