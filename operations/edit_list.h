// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <cstdint>
#include <optional>

// The edit list: the edited sound as an ordered run of segments over two source files, the
// recording file (read only while editing) and the edit file (append only). Positions and
// lengths count blocks; positions are 1-based. The functions here only compute lists; the undo
// history (operations::Editor, editor.h) decides which list is current.
namespace operations {

constexpr int MaxUndoLevel = 50; // levels 0..50: fifty undoable operations
constexpr int MaxSegments = 100; // segments per level

struct Segment {
    uint32_t start = 0;        // position of the first block
    uint32_t length = 0;       // blocks; 0 is allowed and holds no position
    uint32_t offset = 0;       // source block that plays at `start`
    uint8_t fromRecording = 0; // 1 = recording file, 0 = edit file
};

// One level of the undo history. Its segments are in position order, the first starts at 1 and
// each next one where the previous one ends, so positions 1..FileBlocks lie in exactly one.
struct Level {
    int16_t SegmentCount = 0;
    std::array<Segment, MaxSegments> Segments{};
    uint32_t SelStart = 1;
    uint32_t SelEnd = 1;
    uint32_t FileBlocks = 0;
};

// Where a position's block lives.
struct SourceBlock {
    bool fromRecording;
    uint32_t block; // 1-based block number in its file
};

// The segment holding `position`, or nullopt when no segment does (past the end, or 0).
std::optional<SourceBlock> Locate(const Level& level, uint32_t position);

// List builders. Each writes a complete list with its starts into `out` and returns false,
// leaving `out` unspecified, when the result would need more than MaxSegments segments even
// after merging neighbours that continue each other.
//
// The list without positions a..b (a <= b).
bool BuildDeletion(const Level& in, uint32_t a, uint32_t b, Level& out);
// The list with a run of `length` edit-file blocks from `runOffset` inserted right after the
// block at `cursor`; when `cursor` lies in no segment the run goes to the end of the sound.
// Returns the run's first position in *runStart.
bool BuildInsertion(const Level& in, uint32_t cursor, uint32_t runOffset, uint32_t length,
                    Level& out, uint32_t* runStart);
// The list whose positions a..b play edit-file blocks runOffset.. in order, each part of an old
// segment becoming a segment of its own; the length stays.
bool BuildReplacement(const Level& in, uint32_t a, uint32_t b, uint32_t runOffset, Level& out);

// Sets every start from the lengths and FileBlocks from the last end.
void RenumberStarts(Level& level);

} // namespace operations
