// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "base/blocks.h"

#include <cstdint>
#include <string>

// The peak file caches the block peaks of a recovered recording: one 8-byte record per block,
// in block order from block 1, no header. Each record holds max left, min left, max right,
// min right as signed 16-bit little-endian values.
namespace base {

constexpr int PeakRecordBytes = 8;

// A peak file of sizeBytes describes a recording of `blocks` blocks when sizeBytes / 8,
// truncated, equals blocks: 8N and 8N + 6 bytes are valid for N blocks, 8(N + 1) is not.
constexpr bool PeakFileValidFor(int64_t sizeBytes, uint32_t blocks) {
    return sizeBytes >= 0 && sizeBytes / PeakRecordBytes == int64_t(blocks);
}

void EncodePeakRecord(const BlockPeaks& peaks, unsigned char out[PeakRecordBytes]);
BlockPeaks DecodePeakRecord(const unsigned char in[PeakRecordBytes]);

// Tables indexed by block number from 1 (entry 0 unused), as the recording pipeline keeps them.
struct PeakTableRefs {
    int16_t* maxL;
    int16_t* minL;
    int16_t* maxR;
    int16_t* minR;
};

// Writes records for blocks 1..blocks from the tables. Returns false (file removed) on failure.
bool WritePeakFile(const std::string& path, const PeakTableRefs& tables, uint32_t blocks);
// Reads records for blocks 1..blocks into the tables when the file exists and is valid for that
// many blocks; returns false and leaves the tables alone otherwise.
bool ReadPeakFile(const std::string& path, const PeakTableRefs& tables, uint32_t blocks);

} // namespace base
