// SPDX-License-Identifier: GPL-3.0-or-later
#include "operations/edit_list.h"

#include <algorithm>

namespace operations {

namespace {

// A list under construction. A deletion adds at most one segment and an insertion or an effect
// at most two, so two spare entries are enough before the merge brings it back under the limit.
struct Pieces {
    std::array<Segment, MaxSegments + 2> items{};
    int count = 0;

    void Add(uint32_t length, uint32_t offset, uint8_t fromRecording) {
        items[count++] = Segment{0, length, offset, fromRecording};
    }
    void Add(const Segment& s) { Add(s.length, s.offset, s.fromRecording); }
};

// Merges neighbours that continue each other and drops empty segments; the sound is unchanged.
void Compact(Pieces& p) {
    int kept = 0;
    for (int i = 0; i < p.count; ++i) {
        const Segment& s = p.items[i];
        if (s.length == 0) {
            continue;
        }
        if (kept > 0) {
            Segment& last = p.items[kept - 1];
            if (last.fromRecording == s.fromRecording &&
                uint64_t(last.offset) + last.length == s.offset) {
                last.length += s.length;
                continue;
            }
        }
        p.items[kept++] = s;
    }
    p.count = kept;
}

bool Finish(Pieces& p, Level& out) {
    if (p.count > MaxSegments) {
        Compact(p);
        if (p.count > MaxSegments) {
            return false;
        }
    }
    std::copy_n(p.items.begin(), p.count, out.Segments.begin());
    out.SegmentCount = int16_t(p.count);
    RenumberStarts(out);
    return true;
}

// Last position of a segment, in 64 bits so that an empty segment at position 1 ends at 0.
int64_t EndOf(const Segment& s) {
    return int64_t(s.start) + s.length - 1;
}

} // namespace

std::optional<SourceBlock> Locate(const Level& level, uint32_t position) {
    for (int i = 0; i < level.SegmentCount; ++i) {
        const Segment& s = level.Segments[i];
        if (position >= s.start && position - s.start < s.length) {
            return SourceBlock{s.fromRecording != 0, s.offset + (position - s.start)};
        }
    }
    return std::nullopt;
}

void RenumberStarts(Level& level) {
    uint32_t next = 1;
    for (int i = 0; i < level.SegmentCount; ++i) {
        level.Segments[i].start = next;
        next += level.Segments[i].length;
    }
    level.FileBlocks = next - 1;
}

bool BuildDeletion(const Level& in, uint32_t a, uint32_t b, Level& out) {
    Pieces p;
    for (int i = 0; i < in.SegmentCount; ++i) {
        const Segment& s = in.Segments[i];
        const int64_t end = EndOf(s);
        if (end < a) {
            p.Add(s);
        }
        if (s.start < a && a <= end) {
            p.Add(a - s.start, s.offset, s.fromRecording);
        }
        if (s.start <= b && b < end) {
            p.Add(uint32_t(end - b), s.offset + (b - s.start) + 1, s.fromRecording);
        }
        if (b < s.start) {
            p.Add(s);
        }
    }
    return Finish(p, out);
}

bool BuildInsertion(const Level& in, uint32_t cursor, uint32_t runOffset, uint32_t length,
                    Level& out, uint32_t* runStart) {
    Pieces p;
    int holder = -1;
    for (int i = 0; i < in.SegmentCount; ++i) {
        const Segment& s = in.Segments[i];
        if (cursor >= s.start && cursor - s.start < s.length) {
            holder = i;
            break;
        }
    }
    if (holder < 0) {
        // A cursor past the end (after deleting the tail, or in an empty sound) appends.
        for (int i = 0; i < in.SegmentCount; ++i) {
            p.Add(in.Segments[i]);
        }
        p.Add(length, runOffset, 0);
        *runStart = in.FileBlocks + 1;
        return Finish(p, out);
    }
    for (int i = 0; i < holder; ++i) {
        p.Add(in.Segments[i]);
    }
    const Segment& s = in.Segments[holder];
    const uint32_t head = cursor - s.start + 1; // ends with the block at the cursor
    p.Add(head, s.offset, s.fromRecording);
    p.Add(length, runOffset, 0);
    if (head < s.length) {
        p.Add(s.length - head, s.offset + head, s.fromRecording);
    }
    for (int i = holder + 1; i < in.SegmentCount; ++i) {
        p.Add(in.Segments[i]);
    }
    *runStart = cursor + 1;
    return Finish(p, out);
}

bool BuildReplacement(const Level& in, uint32_t a, uint32_t b, uint32_t runOffset, Level& out) {
    Pieces p;
    for (int i = 0; i < in.SegmentCount; ++i) {
        const Segment& s = in.Segments[i];
        const int64_t first = s.start;
        const int64_t last = EndOf(s);
        const int64_t beforeEnd = std::min<int64_t>(last, int64_t(a) - 1);
        if (first <= beforeEnd) {
            p.Add(uint32_t(beforeEnd - first + 1), s.offset, s.fromRecording);
        }
        const int64_t inFirst = std::max<int64_t>(first, a);
        const int64_t inLast = std::min<int64_t>(last, b);
        if (inFirst <= inLast) {
            p.Add(uint32_t(inLast - inFirst + 1), uint32_t(runOffset + (inFirst - a)), 0);
        }
        const int64_t afterFirst = std::max<int64_t>(first, int64_t(b) + 1);
        if (afterFirst <= last) {
            p.Add(uint32_t(last - afterFirst + 1), uint32_t(s.offset + (afterFirst - first)),
                  s.fromRecording);
        }
    }
    return Finish(p, out);
}

} // namespace operations
