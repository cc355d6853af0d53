// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "base/blocks.h"

#include <cstddef>
#include <cstdint>
#include <optional>

namespace operations {

// What one read of a run of positions gave: how many positions the run held (0 for a position
// in no segment) and how many bytes the file gave for them; fewer than positions * BlockBytes
// bytes is a short read, and the blocks from bytes / BlockBytes on are then whole no more.
struct PositionsRead {
    uint32_t positions = 0;
    size_t bytes = 0;
};

// Where a run of positions lies in one source file: its descriptor (-1 for none) and the byte
// offset of the run's first block, for a kernel copy of the run's bytes.
struct PositionsPlace {
    int fd = -1;
    int64_t offset = 0;
    uint32_t positions = 0;
};

// The edited sound as the player and the exporter read it: its length and its blocks by
// position (1-based, the order of the edit list's current level), one read at a time. Reads
// never throw: a position in no segment reads nothing, and a short read leaves the rest of the
// caller's buffer as it was. Whoever holds a source must not change the sound under a reader
// that is still reading it.
class SoundSource {
  public:
    virtual ~SoundSource() = default;
    // Blocks of the sound (FileBlocks).
    virtual uint32_t Blocks() const = 0;
    // Reads the block at `position` into buf (BlockBytes bytes); returns the bytes read, 0 for a
    // position in no segment.
    virtual size_t ReadPosition(uint32_t position, void* buf) const = 0;
    // Reads the blocks at `position` and after, as many as continue in one source file and at
    // most `count`, with one read into buf (count * BlockBytes bytes).
    virtual PositionsRead ReadPositions(uint32_t position, uint32_t count, void* buf) const = 0;
    // Where the blocks at `position` and after lie, as many as continue in one source file and
    // at most `count`, without reading them. A source that cannot say (or a position in no
    // segment) gives no file, and the reader reads through ReadPositions instead; so does a
    // source that must check what it read.
    virtual PositionsPlace PlacePositions(uint32_t position, uint32_t count) const {
        (void)position, (void)count;
        return {};
    }
    // The block peaks of the block at `position`, or nullopt for a position in no segment.
    virtual std::optional<base::BlockPeaks> Peaks(uint32_t position) const = 0;

    // A reader that lets pending messages run between its reads (an export) holds the sound
    // still from HoldStill to ReleaseHold, so that no edit changes it in the middle. Over a
    // sound that cannot change both do nothing; over an editor's sound HoldStill throws
    // base::UserError while an editing operation runs, and the editing commands do nothing
    // while the sound is held.
    virtual void HoldStill() const {}
    virtual void ReleaseHold() const {}
};

} // namespace operations
